// The implementation of KxDbTagStretchAction.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "host/core/array.h"
#include "host/ge/point2d.h"
#include "host/ge/vector3d.h"
#include "module/actions/action_imp.h"
#include "module/actions/stretch_action.h"

class KXDB_EXPORT KxDbImpTagStretchAction : public KxDbImpTagAction {
    KX_DECLARE_IMP(KxDbImpTagStretchAction, KxDbImpTagAction)

    // Which stretch points of the selection set lie in the frame: entities by object id,
    // elements (parameters, base-point actions) by node id; each with ascending indices.
    //
    // The entity entries are kept in one vector sorted by id rather than a tree: the action is
    // copied with its graph at every step of a drag, and a tree costs a node per entity to build
    // and to free; the evaluation also searches the ids once per selected object.
    class EntityPoints {
      public:
        typedef std::pair<AcDbObjectId, AcDbIntArray> value_type;
        typedef std::vector<value_type>::iterator iterator;
        typedef std::vector<value_type>::const_iterator const_iterator;

        iterator begin() { return m_entries.begin(); }
        iterator end() { return m_entries.end(); }
        const_iterator begin() const { return m_entries.begin(); }
        const_iterator end() const { return m_entries.end(); }
        size_t size() const { return m_entries.size(); }
        bool empty() const { return m_entries.empty(); }
        void clear() { m_entries.clear(); }
        void reserve(size_t n) { m_entries.reserve(n); }
        void swap(EntityPoints& other) { m_entries.swap(other.m_entries); }

        const_iterator find(const AcDbObjectId& id) const {
            const auto it = lowerBound(id);
            return it != m_entries.end() && it->first == id ? it : m_entries.end();
        }
        bool contains(const AcDbObjectId& id) const { return find(id) != m_entries.end(); }
        size_t count(const AcDbObjectId& id) const { return contains(id) ? 1 : 0; }
        // The indices of `id`; an empty list for an id without an entry.
        const AcDbIntArray& at(const AcDbObjectId& id) const {
            static const AcDbIntArray kNone;
            const auto it = find(id);
            return it != m_entries.end() ? it->second : kNone;
        }
        // The entry of `id`, made empty in its place when there is none. Appending in ascending
        // order (as a record written from the sorted entries is read) costs no search.
        AcDbIntArray& operator[](const AcDbObjectId& id) {
            if (m_entries.empty() || m_entries.back().first < id) {
                m_entries.emplace_back(id, AcDbIntArray());
                return m_entries.back().second;
            }
            auto it = std::lower_bound(
                m_entries.begin(), m_entries.end(), id,
                [](const value_type& entry, const AcDbObjectId& key) { return entry.first < key; });
            if (it == m_entries.end() || !(it->first == id))
                it = m_entries.emplace(it, id, AcDbIntArray());
            return it->second;
        }

        // Takes entries in any order: sorted by id, of a repeated id the last one kept.
        void assign(std::vector<value_type>&& entries) {
            std::stable_sort(
                entries.begin(), entries.end(),
                [](const value_type& a, const value_type& b) { return a.first < b.first; });
            std::vector<value_type> kept;
            kept.reserve(entries.size());
            for (value_type& entry : entries) {
                if (!kept.empty() && kept.back().first == entry.first)
                    kept.back() = std::move(entry);
                else
                    kept.push_back(std::move(entry));
            }
            m_entries.swap(kept);
        }

      private:
        const_iterator lowerBound(const AcDbObjectId& id) const {
            return std::lower_bound(
                m_entries.begin(), m_entries.end(), id,
                [](const value_type& entry, const AcDbObjectId& key) { return entry.first < key; });
        }

        std::vector<value_type> m_entries;
    };
    typedef std::map<KxNodeId, AcDbIntArray> ElementPoints;

    // Works both maps out again from the frame and the selection set.
    virtual Acad::ErrorStatus rebuildStretchPoints();
    // The same work; kept as a separate entry so callers that rebuild for other reasons can be
    // told apart later.
    virtual Acad::ErrorStatus refreshStretchPoints();
    virtual AcGePoint2dArray stretchFrame() const { return m_frame; }
    virtual Acad::ErrorStatus setStretchFrame(const AcGePoint2dArray& frame);

    const EntityPoints& entityStretchPoints() const {
        static const EntityPoints kNone;
        return m_entityPoints != nullptr ? *m_entityPoints : kNone;
    }
    const ElementPoints& elementStretchPoints() const { return m_elementPoints; }

    const KxActionInput& sourceX() const { return m_sourceX; }
    const KxActionInput& sourceY() const { return m_sourceY; }
    double deltaX() const { return m_deltaX; }
    double deltaY() const { return m_deltaY; }
    double distanceMultiplier() const { return m_multiplier; }
    double angleOffset() const { return m_angleOffset; }
    Adesk::UInt8 xyType() const { return m_xyType; }
    // For authoring and tests: the settings that otherwise come from filing.
    Acad::ErrorStatus setDistanceMultiplier(double multiplier);
    Acad::ErrorStatus setAngleOffset(double angle);
    Acad::ErrorStatus setXYType(Adesk::UInt8 type);
    // The displacement from the last delta values: multiplier and XY type applied, then turned
    // by the angle offset about +Z.
    AcGeVector3d displacement() const;

    KxNodeId parameterNodeId() const override { return m_sourceX.sourceId; }
    KxDbParamActionLink::Kind actionLinkKind() const override {
        return KxDbParamActionLink::kMoveLike;
    }
    void listInputs(KxActionInputRefs& inputs) override;
    Acad::ErrorStatus getInputValue(const KxActionInputRef& input,
                                    KxDbTagEvalVariant& value) const override;
    Acad::ErrorStatus setSelectionSet(const AcDbObjectIdArray& ids) override;
    bool acceptsDependent(KxNodeId nodeId) const override;
    Acad::ErrorStatus nodeRemoved(KxNodeId id) override;
    Acad::ErrorStatus evaluate(KxDbTagEvalContext* context) override;
    Acad::ErrorStatus transformInstanceBy(const AcGeMatrix3d& xform) override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform) override;

    bool hasInstanceData() const override { return true; }
    Acad::ErrorStatus getInstanceData(resbuf*& chain) const override;
    Acad::ErrorStatus setInstanceData(const resbuf*& cursor, int option) override;

    // A copy shares the entity entries with its source (see m_entityPoints).
    Acad::ErrorStatus copyFrom(const AcRxObject* other) override;
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    void setEntityPoints(EntityPoints&& points) {
        m_entityPoints = std::make_shared<const EntityPoints>(std::move(points));
    }
    Acad::ErrorStatus stretchEntities(const AcGeVector3d& v, KxDbTagEvalContext* context);
    Acad::ErrorStatus stretchElements(const AcGeVector3d& v);

    double m_deltaX = 0.0;
    double m_deltaY = 0.0;
    KxActionInput m_sourceX;
    KxActionInput m_sourceY;
    AcGePoint2dArray m_frame;
    // Never changed in place, only replaced: a copy of the action (the graph is copied at every
    // step of a drag) shares them instead of filing every entry out and in again.
    std::shared_ptr<const EntityPoints> m_entityPoints;
    ElementPoints m_elementPoints;
    double m_multiplier = 1.0;
    double m_angleOffset = 0.0;
    Adesk::UInt8 m_xyType = 0;
};
