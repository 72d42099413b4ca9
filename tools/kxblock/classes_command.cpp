#include "tools/kxblock/classes_command.h"

#include <algorithm>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <vector>

#include "host/entities/blockref.h"
#include "host/rx/dictionary.h"
#include "host/rx/overrule.h"
#include "host/rx/services.h"
#include "tools/kxblock/plugin.h"

namespace kxtool {
namespace {

// What a plug-in can add to the host; unloading must bring every count back.
struct HostFootprint {
    std::vector<AcRxClass*> classes;
    int overrules = 0;
    int blockReferenceExtensions = 0;
    int eventReactors = 0;
    int protocolReactors = 0;

    static HostFootprint take() {
        HostFootprint f;
        for (AcRxClass* cls : kxhost::registeredClasses()) {
            f.classes.push_back(cls);
        }
        f.overrules = kxhost::overruleCount();
        f.blockReferenceExtensions = AcDbBlockReference::desc()->numX();
        if (AcRxEvent* ev = acrxEvent()) {
            f.eventReactors = ev->numReactors();
        }
        if (AcRxDictionary* services = acrxServiceDictionary()) {
            if (auto* factory = AcRxProtocolReactorManagerFactory::cast(
                    services->at(L"ProtocolReactorManager"))) {
                if (auto* manager = factory->findReactorManager(AcDbBlockReference::desc())) {
                    for (AcRxClass* cls : kxhost::registeredClasses()) {
                        if (auto* list = manager->findReactorList(cls)) {
                            f.protocolReactors += list->numReactors();
                        }
                    }
                }
            }
        }
        return f;
    }

    bool sameAs(const HostFootprint& o) const {
        return classes == o.classes && overrules == o.overrules &&
               blockReferenceExtensions == o.blockReferenceExtensions &&
               eventReactors == o.eventReactors && protocolReactors == o.protocolReactors;
    }
};

std::string text(const ACHAR* s) {
    return s != nullptr ? AcString(s).utf8() : std::string();
}

}  // namespace

int runClasses(bool json, std::ostream& out, std::ostream& err) {
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    if (linker == nullptr) {
        err << "kxblock: the host has no dynamic linker\n";
        return 2;
    }
    const std::string path = pluginPath();
    const AcString wpath = AcString::fromUtf8(path);

    const HostFootprint before = HostFootprint::take();
    if (!linker->loadModule(wpath.kwszPtr(), false)) {
        err << "kxblock: cannot load the plug-in " << path << "\n";
        return 2;
    }
    const HostFootprint loaded = HostFootprint::take();

    const std::set<AcRxClass*> known(before.classes.begin(), before.classes.end());
    std::vector<AcRxClass*> added;
    for (AcRxClass* cls : loaded.classes) {
        if (known.count(cls) == 0) {
            added.push_back(cls);
        }
    }

    if (json) {
        nlohmann::json rows = nlohmann::json::array();
        for (AcRxClass* cls : added) {
            int maint = 0;
            const int ver = cls->getClassVersion(maint);
            nlohmann::json row;
            row["name"] = text(cls->name());
            row["parent"] = text(cls->parentName());
            row["dxfName"] = cls->dxfName() != nullptr ? nlohmann::json(text(cls->dxfName()))
                                                       : nlohmann::json(nullptr);
            row["appName"] = cls->appName() != nullptr ? nlohmann::json(text(cls->appName()))
                                                       : nlohmann::json(nullptr);
            row["dwgVersion"] = ver;
            row["maintenanceVersion"] = maint;
            row["proxyFlags"] = cls->proxyFlags();
            rows.push_back(row);
        }
        out << rows.dump(2) << "\n";
    } else {
        out << std::left << std::setw(38) << "class" << std::setw(36) << "parent" << std::setw(26)
            << "dxf name" << std::setw(26) << "application"
            << "dwg maint flags\n";
        for (AcRxClass* cls : added) {
            int maint = 0;
            const int ver = cls->getClassVersion(maint);
            out << std::left << std::setw(38) << text(cls->name()) << std::setw(36)
                << text(cls->parentName()) << std::setw(26)
                << (cls->dxfName() != nullptr ? text(cls->dxfName()) : "-") << std::setw(26)
                << (cls->appName() != nullptr ? text(cls->appName()) : "-") << std::right
                << std::setw(3) << ver << std::setw(6) << maint << std::setw(6) << cls->proxyFlags()
                << "\n";
        }
        out << added.size() << " classes registered\n";
    }

    linker->unloadModule(wpath.kwszPtr());
    const HostFootprint after = HostFootprint::take();
    if (!after.sameAs(before)) {
        err << "kxblock: unloading the plug-in left classes, overrules or reactors behind\n";
        return 1;
    }
    return 0;
}

}  // namespace kxtool
