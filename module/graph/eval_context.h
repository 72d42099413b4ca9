// The evaluation context: a transient dictionary from text keys to objects through which the
// caller of an evaluation tells the evaluating nodes which block reference, which representation
// and which evaluation mode they work for.
#pragma once

#include "host/rx/rxobject.h"
#include "module/frame/export.h"

class KxDbTagEvalContextIterator;
class KxDbImpTagEvalContext;

// Keys of the context.
#define KX_EVAL_KEY_REPRESENTATION L"ACAD_ENHANCEDBLOCK"
#define KX_EVAL_KEY_REFERENCE L"ACAD_ENHANCEDBLOCK_REFERENCE"
#define KX_EVAL_KEY_MODE L"ACAD_ENHANCEDBLOCKEVALKEY"

// Evaluation modes stored under KX_EVAL_KEY_MODE. The value is a small integer kept in the
// object slot; it is never an object: never call a method or a class test on it, read it only
// through kxEvalMode/kxIsEvalMode. The mode changes during the life of one context (load, then
// interactive changes), so it is set with kxSetEvalMode, which replaces the earlier value.
enum KxEvalMode {
    kEvalModeLoad = 1,         // stored instance data of a reference is being applied
    kEvalModeInteractive = 2,  // a changed value is being evaluated
    kEvalModeReplay = 3        // history or properties are being replayed
};

// One key and its object, carried in and out of a context. The key is an owned copy.
class KXDB_EXPORT KxDbTagEvalContextPair {
  public:
    KxDbTagEvalContextPair();
    KxDbTagEvalContextPair(const ACHAR* key, AcRxObject* object);
    KxDbTagEvalContextPair(const KxDbTagEvalContextPair& other);
    KxDbTagEvalContextPair& operator=(const KxDbTagEvalContextPair& other);
    virtual ~KxDbTagEvalContextPair();

    const ACHAR* key() const { return m_key; }
    AcRxObject* value() const { return m_object; }
    void setKey(const ACHAR* key);
    void setValue(AcRxObject* object) { m_object = object; }

  private:
    ACHAR* m_key = nullptr;
    AcRxObject* m_object = nullptr;
};

class KXDB_EXPORT KxDbTagEvalContext : public AcRxObject {
  public:
    ACRX_DECLARE_MEMBERS(KxDbTagEvalContext);
    KxDbTagEvalContext();
    ~KxDbTagEvalContext() override;
    KxDbTagEvalContext(const KxDbTagEvalContext&) = delete;
    KxDbTagEvalContext& operator=(const KxDbTagEvalContext&) = delete;

    // Inserts the pair unless its key is null; an existing key keeps its object.
    virtual void addPair(const KxDbTagEvalContextPair& pair);
    // Removes the entry of the key; a null or absent key changes nothing.
    virtual void removeKey(const ACHAR* key);
    // Fills the pair's object from the entry of its key; eInvalidKey when absent.
    virtual Acad::ErrorStatus getPair(KxDbTagEvalContextPair& pair) const;
    // A new iterator (host heap) at the first entry; the caller deletes it.
    virtual KxDbTagEvalContextIterator* newIterator() const;

    // Sets the pair's key to its object, replacing an existing entry (removeKey, then addPair).
    void setPair(const KxDbTagEvalContextPair& pair);
    // Number of entries.
    int numEntries() const;

    // Null only when the implementation could not be allocated; the context then behaves as an
    // empty one that takes no entries.
    KxDbImpTagEvalContext* imp() const { return m_imp; }

  private:
    KxDbImpTagEvalContext* m_imp;
};

// Sets the evaluation mode, replacing an earlier one.
KXDB_EXPORT void kxSetEvalMode(KxDbTagEvalContext* context, KxEvalMode mode);
// The evaluation mode, or 0 when the context is null or holds none (an entry under the mode key
// that is not one of the modes counts as none).
KXDB_EXPORT int kxEvalMode(const KxDbTagEvalContext* context);
// True only when the context holds that mode.
KXDB_EXPORT bool kxIsEvalMode(const KxDbTagEvalContext* context, KxEvalMode mode);
