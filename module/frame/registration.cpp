#include "module/frame/registration.h"

#include "module/actions/action.h"
#include "module/actions/action_with_basept.h"
#include "module/actions/array_action.h"
#include "module/actions/flip_action.h"
#include "module/actions/lookup_action.h"
#include "module/actions/move_action.h"
#include "module/actions/polar_stretch_action.h"
#include "module/actions/rotate_action.h"
#include "module/actions/scale_action.h"
#include "module/actions/stretch_action.h"
#include "module/display/display_settings.h"
#include "module/display/drawable_overrule.h"
#include "module/frame/class_table.h"
#include "module/graph/block_proxy_node.h"
#include "module/graph/element.h"
#include "module/graph/eval_connectable.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_context_iterator.h"
#include "module/graph/eval_expr.h"
#include "module/graph/eval_graph.h"
#include "module/graph/eval_variant.h"
#include "module/grips/alignment_grip.h"
#include "module/grips/flip_grip.h"
#include "module/grips/grip.h"
#include "module/grips/grip_expr.h"
#include "module/grips/grip_overrule.h"
#include "module/grips/linear_grip.h"
#include "module/grips/lookup_grip.h"
#include "module/grips/nb_app_data.h"
#include "module/grips/polar_grip.h"
#include "module/grips/properties_table_grip.h"
#include "module/grips/rotation_grip.h"
#include "module/grips/visibility_grip.h"
#include "module/grips/xy_grip.h"
#include "module/params/alignment_tag.h"
#include "module/params/basepoint_tag.h"
#include "module/params/block_1pt_tag.h"
#include "module/params/block_2pt_tag.h"
#include "module/params/block_tag.h"
#include "module/params/flip_tag.h"
#include "module/params/linear_tag.h"
#include "module/params/lookup_column_desc.h"
#include "module/params/lookup_tag.h"
#include "module/params/point_tag.h"
#include "module/params/polar_tag.h"
#include "module/params/properties_table.h"
#include "module/params/rotation_tag.h"
#include "module/params/user_tag.h"
#include "module/params/visibility_tag.h"
#include "module/params/xy_tag.h"
#include "module/representation/cached_ref_context.h"
#include "module/representation/equivalence.h"
#include "module/representation/purge_preventer.h"
#include "module/representation/ref_context.h"
#include "module/representation/representation.h"
#include "module/representation/representation_context.h"
#include "module/representation/representation_data.h"
#include "module/rootdata/root_data.h"

// Run-time identity of every class: desc() answers the cached descriptor or looks it up by name.
#define KX_DEFINE_IDENTITY_FULL(CLASS, PARENT, DXF, VER, MAINT, FLAGS) ACRX_DEFINE_MEMBERS(CLASS)
#define KX_DEFINE_IDENTITY_SHORT(CLASS, PARENT) ACRX_DEFINE_MEMBERS(CLASS)
KX_CLASSES_BEFORE_DISPLAY(KX_DEFINE_IDENTITY_FULL, KX_DEFINE_IDENTITY_SHORT)
KX_CLASSES_AFTER_DISPLAY(KX_DEFINE_IDENTITY_FULL, KX_DEFINE_IDENTITY_SHORT)

namespace {

// A class this module registered earlier is reused as long as the registry still holds that very
// descriptor; any other descriptor under the name means someone else owns it.
AcRxClass* checkedRegistration(AcRxClass*& cache, const ACHAR* name, const ACHAR* parent,
                               int dwgVersion, int maintVersion, int proxyFlags,
                               AppPseudoConstructor make, const ACHAR* dxfName,
                               const ACHAR* appName) {
    AcRxClass* found = acrxFindAcRxClass(name);
    if (found != nullptr) {
        if (found != cache) {
            acrx_abort(L"Class mismatch");
        }
        return cache;
    }
    cache =
        newAcRxClass(name, parent, dwgVersion, maintVersion, proxyFlags, make, dxfName, appName);
    return cache;
}

#define KX_REGISTER_FULL(CLASS, PARENT, DXF, VER, MAINT, FLAGS)                 \
    checkedRegistration(                                                        \
        CLASS::descCache(), ACRX_T(#CLASS), ACRX_T(#PARENT), VER, MAINT, FLAGS, \
        []() -> AcRxObject* { return new CLASS(); }, ACRX_T(DXF), KX_APP_NAME);
#define KX_REGISTER_SHORT(CLASS, PARENT)                                                       \
    checkedRegistration(CLASS::descCache(), ACRX_T(#CLASS), ACRX_T(#PARENT), 0, 0, 0, nullptr, \
                        nullptr, nullptr);

#define KX_DESC_CACHE_FULL(CLASS, PARENT, DXF, VER, MAINT, FLAGS) &CLASS::descCache(),
#define KX_DESC_CACHE_SHORT(CLASS, PARENT) &CLASS::descCache(),

// The cached descriptor of every class, in registration order.
AcRxClass** const kCaches[] = {
    KX_CLASSES_BEFORE_DISPLAY(KX_DESC_CACHE_FULL, KX_DESC_CACHE_SHORT)
        KX_CLASSES_AFTER_DISPLAY(KX_DESC_CACHE_FULL, KX_DESC_CACHE_SHORT)};

}  // namespace

namespace kxframe {

void registerClasses() {
    KX_CLASSES_BEFORE_DISPLAY(KX_REGISTER_FULL, KX_REGISTER_SHORT)
    kxdisplay::applyDisplayDefaults();
    KX_CLASSES_AFTER_DISPLAY(KX_REGISTER_FULL, KX_REGISTER_SHORT)
}

void unregisterClasses() {
    for (int i = classCount() - 1; i >= 0; --i) {
        AcRxClass*& cache = *kCaches[i];
        deleteAcRxClass(cache);
        cache = nullptr;
    }
}

int classCount() {
    return static_cast<int>(sizeof(kCaches) / sizeof(kCaches[0]));
}

}  // namespace kxframe
