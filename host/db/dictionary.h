// Database dictionaries: named entries that hard-own database objects, with keys that compare
// without regard to case.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/db/dbobject.h"

class AcDbDictionaryIterator;

class AcDbDictionary : public AcDbObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbDictionary);

    AcDbDictionary();
    ~AcDbDictionary() override;

    struct Entry {
        AcString key;  // as it was last set
        AcDbObjectId id;
    };

    // Lookups skip entries whose object is erased. A missing key answers eKeyNotFound.
    Acad::ErrorStatus getAt(const ACHAR* key, AcDbObjectId& id) const;
    // Opens the entry's object (the caller closes it).
    Acad::ErrorStatus getAt(const ACHAR* key, AcDbObject*& obj, AcDb::OpenMode mode) const;
    template <class T>
    Acad::ErrorStatus getAt(const ACHAR* key, T*& obj, AcDb::OpenMode mode) const {
        obj = nullptr;
        AcDbObjectId id;
        Acad::ErrorStatus es = getAt(key, id);
        return es != Acad::eOk ? es : acdbOpenObject(obj, id, mode);
    }
    bool has(const ACHAR* key) const;
    bool has(AcDbObjectId id) const;
    int numEntries() const;
    // eKeyNotFound when the id is not an entry.
    Acad::ErrorStatus nameAt(AcDbObjectId id, AcString& key) const;
    // Entries in key order (compared without regard to case).
    std::vector<Entry> entries() const;
    // A snapshot of the entries; the caller deletes it.
    AcDbDictionaryIterator* newIterator() const;

    // Needs the dictionary write-enabled (eNotOpenForWrite) and resident (eNoDatabase). A
    // non-resident object is added to the dictionary's database (it comes back open for write,
    // the caller closes it, as after addAcDbObject); a resident one must be of the same database
    // (eWrongDatabase) and open for write by the caller. The object's owner becomes the
    // dictionary. An entry already under the key is replaced and its object erased. An object
    // that is already an entry under another key answers eAlreadyInDb. eInvalidKey for a null or
    // empty key, eNullObjectPointer for a null object, eSelfReference for the dictionary itself.
    Acad::ErrorStatus setAt(const ACHAR* key, AcDbObject* obj, AcDbObjectId& id);
    // Removing drops the entry; its object stays in the database with no owner. Needs write.
    Acad::ErrorStatus remove(const ACHAR* key);
    Acad::ErrorStatus remove(const ACHAR* key, AcDbObjectId& id);
    Acad::ErrorStatus remove(AcDbObjectId id);
    // Renames an entry (eKeyNotFound, eDuplicateKey when the new key is taken by another entry).
    Acad::ErrorStatus setName(const ACHAR* oldKey, const ACHAR* newKey);

    // Erasing a dictionary erases the objects it owns; unerasing brings them back.
    Acad::ErrorStatus subErase(Adesk::Boolean erasing) override;

    // Binary filing: the entry count, then each key and its id as a hard ownership id. Files and
    // clones leave out entries whose object is erased; the copy filer files no entries, because
    // a copy cannot own another dictionary's objects.
    Acad::ErrorStatus dwgInFields(AcDbDwgFiler* filer) override;
    Acad::ErrorStatus dwgOutFields(AcDbDwgFiler* filer) const override;
    // Text filing: subclass marker, 280 hard-owner flag, 281 merge style, then 3 key / 350 id
    // pairs (360 is read as well).
    Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
    Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

  private:
    // Folded key -> entry; the map order is the case-insensitive key order.
    std::map<std::wstring, Entry> m_entries;

    const Entry* findLive(const ACHAR* key) const;
};

class AcDbDictionaryIterator : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(AcDbDictionaryIterator);
    explicit AcDbDictionaryIterator(std::vector<AcDbDictionary::Entry> entries)
        : m_entries(std::move(entries)) {}

    bool done() const { return m_pos >= m_entries.size(); }
    bool next() {
        if (!done()) {
            ++m_pos;
        }
        return !done();
    }
    const ACHAR* name() const { return done() ? nullptr : m_entries[m_pos].key.kwszPtr(); }
    AcDbObjectId objectId() const { return done() ? AcDbObjectId::kNull : m_entries[m_pos].id; }
    Acad::ErrorStatus getObject(AcDbObject*& obj, AcDb::OpenMode mode) const;

  private:
    std::vector<AcDbDictionary::Entry> m_entries;
    size_t m_pos = 0;
};
