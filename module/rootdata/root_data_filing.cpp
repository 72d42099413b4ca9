// Binary and text filing of the root data's two maps.
//
// Binary layout: Int32 graph count, then per graph a soft pointer (definition) and a hard
// ownership id (graph); Int32 reference count, then per reference a soft pointer (reference), the
// record's Int16 value, a hard pointer (source definition), a hard ownership id (history), and
// for the data and then the hidden data an Int32 count followed by name / hard ownership id
// pairs in name order. Text layout: the same sequence under groups 100 "KxDbTagRootData", 90,
// 330/360, 91, 330/60/330/360, 92, 300/360..., 92, 300/360....
#include <utility>

#include "host/core/heap.h"
#include "host/db/dwgfiler.h"
#include "host/db/dxffiler.h"
#include "module/rootdata/root_data_imp.h"

namespace {

// Copies and clones get nothing: the objects the root data owns belong to the drawing's own
// index, and copying the index would make a second owner of the same graphs and records.
bool filesNothing(AcDb::FilerType type) {
    return type == AcDb::kCopyFiler || type == AcDb::kDeepCloneFiler ||
           type == AcDb::kWblockCloneFiler;
}

// A key whose object is erased has nothing left to index.
bool liveKey(const AcDbObjectId& key) {
    return !key.isNull() && !key.isErased();
}

int liveGraphCount(const KxDbTagRootDataGraphMap& graphs) {
    int n = 0;
    for (const auto& entry : graphs) {
        n += liveKey(entry.first) ? 1 : 0;
    }
    return n;
}

int liveRecordCount(const KxDbTagRootDataRecordMap& records) {
    int n = 0;
    for (const auto& entry : records) {
        n += liveKey(entry.first) ? 1 : 0;
    }
    return n;
}

// --- Binary reading helpers ---

// The status to report after a failed read: the filer's own when it has one.
Acad::ErrorStatus failure(AcDbDwgFiler* filer, Acad::ErrorStatus es) {
    const Acad::ErrorStatus filerEs = filer->filerStatus();
    return filerEs != Acad::eOk ? filerEs : (es != Acad::eOk ? es : Acad::eFilerError);
}

Acad::ErrorStatus damaged(AcDbDwgFiler* filer) {
    filer->setFilerStatus(Acad::eFilerError);
    return Acad::eFilerError;
}

// Items left to read, when the stream can tell (-1 when it cannot).
Adesk::Int64 itemsLeft(AcDbDwgFiler* filer) {
    const Adesk::Int64 here = filer->tell();
    if (here < 0 || filer->seek(0, AcDb::kSeekFromEnd) != Acad::eOk) {
        return -1;
    }
    const Adesk::Int64 end = filer->tell();
    if (filer->seek(here, AcDb::kSeekFromStart) != Acad::eOk) {
        damaged(filer);
        return -1;
    }
    return end >= here ? end - here : -1;
}

// Reads a count of entries taking at least `itemsPerEntry` items each. A damaged stream can hold
// any number here: a negative count, or one the rest of the stream cannot hold, is refused
// before anything is read for it.
Acad::ErrorStatus readCount(AcDbDwgFiler* filer, int itemsPerEntry, Adesk::Int32& count) {
    count = 0;
    Adesk::Int32 n = 0;
    const Acad::ErrorStatus es = filer->readInt32(&n);
    if (es != Acad::eOk) {
        return failure(filer, es);
    }
    if (n < 0) {
        return damaged(filer);
    }
    const Adesk::Int64 left = itemsLeft(filer);
    if (filer->filerStatus() != Acad::eOk) {
        return filer->filerStatus();
    }
    if (left >= 0 && static_cast<Adesk::Int64>(n) * itemsPerEntry > left) {
        return damaged(filer);
    }
    count = n;
    return Acad::eOk;
}

Acad::ErrorStatus readEntries(AcDbDwgFiler* filer, KxDbTagRootDataEntryMap& entries) {
    Adesk::Int32 count = 0;
    Acad::ErrorStatus es = readCount(filer, 2, count);
    if (es != Acad::eOk) {
        return es;
    }
    for (Adesk::Int32 i = 0; i < count; ++i) {
        AcString name;
        AcDbHardOwnershipId id;
        if ((es = filer->readString(name)) != Acad::eOk ||
            (es = filer->readHardOwnershipId(&id)) != Acad::eOk) {
            return failure(filer, es);
        }
        // A name filed twice keeps its first xrecord, as inserting does.
        entries.emplace(name, id);
    }
    return Acad::eOk;
}

Acad::ErrorStatus writeEntries(AcDbDwgFiler* filer, const KxDbTagRootDataEntryMap& entries) {
    filer->writeInt32(static_cast<Adesk::Int32>(entries.size()));
    for (const auto& entry : entries) {
        filer->writeString(entry.first);
        filer->writeHardOwnershipId(entry.second);
    }
    return filer->filerStatus();
}

// --- Text reading helpers ---

// One group of the expected code, with its value taken out of the resbuf.
struct Group {
    Adesk::Int32 int32 = 0;
    Adesk::Int16 int16 = 0;
    AcDbObjectId id;
    AcString text;
};

// Reads the next group, which must have `code`. The text layout is fixed, so any other group,
// or the end of the object's data, is refused with 301; a failing filer answers its own status.
Acad::ErrorStatus readGroup(AcDbDxfFiler* filer, int code, Group& group) {
    resbuf rb{};
    const Acad::ErrorStatus es = filer->readItem(&rb);
    if (es == Acad::eEndOfFile) {
        return kxrootdata::kValueNotAccepted;
    }
    if (es != Acad::eOk) {
        return es;
    }
    const bool match = rb.restype == code;
    if (match) {
        if (code == 60) {
            group.int16 = rb.resval.rint;
        } else if (code >= 90 && code <= 99) {
            group.int32 = rb.resval.rlong;
        } else if (code == 330 || code == 360) {
            acdbGetObjectId(group.id, rb.resval.rlname);
        } else if (code == 300) {
            group.text = AcString(rb.resval.rstring != nullptr ? rb.resval.rstring : L"");
        }
    }
    // Whatever came, text and binary values handed out are ours to free.
    if (acutRbOwnsString(rb.restype)) {
        acutDelBuffer(rb.resval.rstring);
    } else if (acutRbOwnsBinary(rb.restype) && rb.resval.rbinary.buf != nullptr) {
        acHeapFree(rb.resval.rbinary.buf);
        rb.resval.rbinary.buf = nullptr;
    }
    return match ? Acad::eOk : kxrootdata::kValueNotAccepted;
}

// A count group: the full 32-bit value; a negative one cannot have been written.
Acad::ErrorStatus readCountGroup(AcDbDxfFiler* filer, int code, Adesk::Int32& count) {
    Group g;
    const Acad::ErrorStatus es = readGroup(filer, code, g);
    if (es != Acad::eOk) {
        return es;
    }
    if (g.int32 < 0) {
        return kxrootdata::kValueNotAccepted;
    }
    count = g.int32;
    return Acad::eOk;
}

Acad::ErrorStatus readEntryGroups(AcDbDxfFiler* filer, KxDbTagRootDataEntryMap& entries) {
    Adesk::Int32 count = 0;
    Acad::ErrorStatus es = readCountGroup(filer, 92, count);
    // Each entry consumes groups, so a count larger than what follows ends at the data's end.
    for (Adesk::Int32 i = 0; es == Acad::eOk && i < count; ++i) {
        Group name;
        Group id;
        if ((es = readGroup(filer, 300, name)) == Acad::eOk &&
            (es = readGroup(filer, 360, id)) == Acad::eOk) {
            entries.emplace(name.text, id.id);
        }
    }
    return es;
}

void writeEntryGroups(AcDbDxfFiler* filer, const KxDbTagRootDataEntryMap& entries) {
    filer->writeInt32(92, static_cast<Adesk::Int32>(entries.size()));
    for (const auto& entry : entries) {
        filer->writeString(300, entry.first);
        filer->writeObjectId(360, entry.second);
    }
}

}  // namespace

// --- Binary filing ------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagRootData::dwgOutFields(AcDbDwgFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertReadEnabled();
    if (filesNothing(filer->filerType())) {
        return Acad::eOk;
    }
    filer->writeInt32(liveGraphCount(m_graphs));
    for (const auto& entry : m_graphs) {
        if (liveKey(entry.first)) {
            filer->writeSoftPointerId(entry.first);
            filer->writeHardOwnershipId(entry.second);
        }
    }
    filer->writeInt32(liveRecordCount(m_records));
    for (const auto& entry : m_records) {
        if (!liveKey(entry.first)) {
            continue;
        }
        const KxDbTagRootDataRecord& rec = entry.second;
        filer->writeSoftPointerId(entry.first);
        filer->writeInt16(rec.value);
        filer->writeHardPointerId(rec.sourceDefinition);
        filer->writeHardOwnershipId(rec.history);
        writeEntries(filer, rec.data);
        writeEntries(filer, rec.hdata);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagRootData::dwgInFields(AcDbDwgFiler* filer) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    if (filesNothing(filer->filerType())) {
        return Acad::eOk;
    }
    assertWriteEnabled();
    clearMaps();

    Adesk::Int32 count = 0;
    Acad::ErrorStatus es = readCount(filer, 2, count);
    if (es != Acad::eOk) {
        return es;
    }
    for (Adesk::Int32 i = 0; i < count; ++i) {
        AcDbSoftPointerId key;
        AcDbHardOwnershipId graph;
        if ((es = filer->readSoftPointerId(&key)) != Acad::eOk ||
            (es = filer->readHardOwnershipId(&graph)) != Acad::eOk) {
            return failure(filer, es);
        }
        // A key that did not survive (null) cannot be looked up; a repeated key keeps its first
        // graph, as inserting does.
        if (!key.isNull()) {
            m_graphs.emplace(key, graph);
        }
    }

    // A reference entry takes at least six items: key, value, two ids and two counts.
    if ((es = readCount(filer, 6, count)) != Acad::eOk) {
        return es;
    }
    for (Adesk::Int32 i = 0; i < count; ++i) {
        AcDbSoftPointerId key;
        AcDbHardPointerId source;
        AcDbHardOwnershipId history;
        KxDbTagRootDataRecord rec;
        if ((es = filer->readSoftPointerId(&key)) != Acad::eOk ||
            (es = filer->readInt16(&rec.value)) != Acad::eOk ||
            (es = filer->readHardPointerId(&source)) != Acad::eOk ||
            (es = filer->readHardOwnershipId(&history)) != Acad::eOk) {
            return failure(filer, es);
        }
        rec.sourceDefinition = source;
        rec.history = history;
        if ((es = readEntries(filer, rec.data)) == Acad::eOk) {
            es = readEntries(filer, rec.hdata);
        }
        // A record cut short keeps what it had, so the objects it names stay indexed.
        if (!key.isNull() && !rec.isEmpty()) {
            m_records.emplace(key, std::move(rec));
        }
        if (es != Acad::eOk) {
            return es;
        }
    }
    return filer->filerStatus();
}

// --- Text filing --------------------------------------------------------------------------------

Acad::ErrorStatus KxDbImpTagRootData::dxfOutFields(AcDbDxfFiler* filer) const {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertReadEnabled();
    filer->writeString(100, L"KxDbTagRootData");
    filer->writeInt32(90, liveGraphCount(m_graphs));
    for (const auto& entry : m_graphs) {
        if (liveKey(entry.first)) {
            filer->writeObjectId(330, entry.first);
            filer->writeObjectId(360, entry.second);
        }
    }
    filer->writeInt32(91, liveRecordCount(m_records));
    for (const auto& entry : m_records) {
        if (!liveKey(entry.first)) {
            continue;
        }
        const KxDbTagRootDataRecord& rec = entry.second;
        filer->writeObjectId(330, entry.first);
        filer->writeInt16(60, rec.value);
        filer->writeObjectId(330, rec.sourceDefinition);
        filer->writeObjectId(360, rec.history);
        writeEntryGroups(filer, rec.data);
        writeEntryGroups(filer, rec.hdata);
    }
    return filer->filerStatus();
}

Acad::ErrorStatus KxDbImpTagRootData::dxfInFields(AcDbDxfFiler* filer) {
    if (filer == nullptr) {
        return Acad::eNullObjectPointer;
    }
    assertWriteEnabled();
    clearMaps();
    if (!filer->atSubclassData(L"KxDbTagRootData")) {
        return kxrootdata::kValueNotAccepted;
    }

    // The layout is fixed: every group is checked in turn, and the first one out of place ends
    // the reading. What was read up to there stays in the maps.
    Adesk::Int32 count = 0;
    Acad::ErrorStatus es = readCountGroup(filer, 90, count);
    for (Adesk::Int32 i = 0; es == Acad::eOk && i < count; ++i) {
        Group key;
        Group graph;
        if ((es = readGroup(filer, 330, key)) == Acad::eOk &&
            (es = readGroup(filer, 360, graph)) == Acad::eOk && !key.id.isNull()) {
            m_graphs.emplace(key.id, graph.id);
        }
    }
    if (es != Acad::eOk) {
        return es;
    }

    es = readCountGroup(filer, 91, count);
    for (Adesk::Int32 i = 0; es == Acad::eOk && i < count; ++i) {
        Group key;
        if ((es = readGroup(filer, 330, key)) != Acad::eOk) {
            break;
        }
        KxDbTagRootDataRecord rec;
        Group value;
        Group source;
        Group history;
        if ((es = readGroup(filer, 60, value)) == Acad::eOk) {
            rec.value = value.int16;
            if ((es = readGroup(filer, 330, source)) == Acad::eOk) {
                rec.sourceDefinition = source.id;
                if ((es = readGroup(filer, 360, history)) == Acad::eOk) {
                    rec.history = history.id;
                    if ((es = readEntryGroups(filer, rec.data)) == Acad::eOk) {
                        es = readEntryGroups(filer, rec.hdata);
                    }
                }
            }
        }
        // A record cut short keeps what it had, so the objects it names stay indexed.
        if (!key.id.isNull() && !rec.isEmpty()) {
            m_records.emplace(key.id, std::move(rec));
        }
    }
    return es;
}
