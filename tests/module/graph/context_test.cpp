// The evaluation context: its entries, their order, the iterator, and the evaluation mode kept as
// an integer in the object slot.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/core/heap.h"
#include "module/graph/eval_context.h"
#include "module/graph/eval_context_iterator.h"
#include "module/graph/eval_variant.h"
#include "support/module_loader.h"

namespace {

using Pair = KxDbTagEvalContextPair;

class ContextTest : public kxtest::ModuleTest {
  protected:
    // Two distinct objects to store; the context never owns them.
    KxDbTagEvalVariant m_first{1.0};
    KxDbTagEvalVariant m_second{2.0};
};

AcRxObject* lookUp(const KxDbTagEvalContext& context, const ACHAR* key,
                   Acad::ErrorStatus* status = nullptr) {
    Pair pair(key, nullptr);
    const Acad::ErrorStatus es = context.getPair(pair);
    if (status != nullptr) {
        *status = es;
    }
    return pair.value();
}

std::vector<std::wstring> keysInOrder(const KxDbTagEvalContext& context) {
    std::vector<std::wstring> keys;
    std::unique_ptr<KxDbTagEvalContextIterator> it(context.newIterator());
    EXPECT_NE(it, nullptr);
    for (it->start(); !it->done(); it->next()) {
        keys.push_back(it->currentPair().key());
    }
    return keys;
}

// ---- Pairs ----

TEST_F(ContextTest, PairsOwnACopyOfTheirKey) {
    const long before = kxhost::heapLiveBlocks();
    {
        ACHAR key[] = L"KEY";
        Pair pair(key, &m_first);
        key[0] = L'X';
        EXPECT_STREQ(pair.key(), L"KEY");
        EXPECT_EQ(pair.value(), &m_first);

        Pair copy(pair);
        EXPECT_NE(copy.key(), pair.key());
        EXPECT_STREQ(copy.key(), L"KEY");
        Pair assigned;
        EXPECT_EQ(assigned.key(), nullptr);
        EXPECT_EQ(assigned.value(), nullptr);
        assigned = pair;
        EXPECT_STREQ(assigned.key(), L"KEY");
        EXPECT_EQ(assigned.value(), &m_first);
        const Pair& alias = assigned;
        assigned = alias;
        EXPECT_STREQ(assigned.key(), L"KEY");
        assigned.setKey(assigned.key());
        EXPECT_STREQ(assigned.key(), L"KEY");
        assigned.setKey(nullptr);
        EXPECT_EQ(assigned.key(), nullptr);
    }
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

// ---- Entries ----

TEST_F(ContextTest, AddKeepsTheFirstObjectAndRemoveAndGetReportAbsentKeys) {
    KxDbTagEvalContext context;
    context.addPair(Pair(L"A", &m_first));
    context.addPair(Pair(L"A", &m_second));
    EXPECT_EQ(context.numEntries(), 1);
    EXPECT_EQ(lookUp(context, L"A"), &m_first);

    // A null key is neither stored nor found.
    context.addPair(Pair(nullptr, &m_second));
    EXPECT_EQ(context.numEntries(), 1);
    Acad::ErrorStatus es = Acad::eOk;
    lookUp(context, nullptr, &es);
    EXPECT_EQ(es, Acad::eInvalidKey);

    // An absent key reports eInvalidKey and leaves the pair's object alone.
    Pair absent(L"B", &m_second);
    EXPECT_EQ(context.getPair(absent), Acad::eInvalidKey);
    EXPECT_EQ(absent.value(), &m_second);

    context.removeKey(L"B");
    context.removeKey(nullptr);
    EXPECT_EQ(context.numEntries(), 1);
    context.removeKey(L"A");
    EXPECT_EQ(context.numEntries(), 0);
    lookUp(context, L"A", &es);
    EXPECT_EQ(es, Acad::eInvalidKey);

    // setPair replaces; a null key does nothing.
    context.addPair(Pair(L"A", &m_first));
    context.setPair(Pair(L"A", &m_second));
    EXPECT_EQ(lookUp(context, L"A"), &m_second);
    context.setPair(Pair(nullptr, &m_first));
    EXPECT_EQ(context.numEntries(), 1);
}

TEST_F(ContextTest, KeysAreCaseSensitiveAndOrderedByCodePoint) {
    KxDbTagEvalContext context;
    context.addPair(Pair(KX_EVAL_KEY_REFERENCE, &m_first));
    context.addPair(Pair(L"acad_enhancedblock_reference", &m_second));
    EXPECT_EQ(context.numEntries(), 2);
    EXPECT_EQ(lookUp(context, KX_EVAL_KEY_REFERENCE), &m_first);
    EXPECT_EQ(lookUp(context, L"acad_enhancedblock_reference"), &m_second);
    Acad::ErrorStatus es = Acad::eOk;
    lookUp(context, L"Acad_EnhancedBlock_Reference", &es);
    EXPECT_EQ(es, Acad::eInvalidKey);

    context.addPair(Pair(KX_EVAL_KEY_REPRESENTATION, nullptr));
    context.addPair(Pair(L"Z", nullptr));
    context.addPair(Pair(L"\u00e9", nullptr));
    context.addPair(Pair(L"\U0001F600", nullptr));
    context.addPair(Pair(L"\uFFFD", nullptr));
    context.addPair(Pair(L"", nullptr));
    const std::vector<std::wstring> expected = {L"",
                                                KX_EVAL_KEY_REPRESENTATION,
                                                KX_EVAL_KEY_REFERENCE,
                                                L"Z",
                                                L"acad_enhancedblock_reference",
                                                L"\u00e9",
                                                L"\uFFFD",
                                                L"\U0001F600"};
    EXPECT_EQ(keysInOrder(context), expected);
}

TEST_F(ContextTest, ContextsReleaseTheirKeysButNotTheirObjects) {
    const long before = kxhost::heapLiveBlocks();
    auto* object = new KxDbTagEvalVariant(L"not owned");
    auto* context = new KxDbTagEvalContext();
    ASSERT_NE(context, nullptr);
    context->addPair(Pair(L"object", object));
    kxSetEvalMode(context, kEvalModeLoad);
    delete context;
    EXPECT_STREQ(object->text(), L"not owned");
    delete object;
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);

    // The context lives on the host heap, which may refuse it.
    kxhost::heapFailAfter(1);
    KxDbTagEvalContext* refused = new KxDbTagEvalContext();
    kxhost::heapFailAfter(0);
    EXPECT_EQ(refused, nullptr);

    // A key that cannot be copied gives a keyless pair, which the context ignores.
    KxDbTagEvalContext context2;
    kxhost::heapFailAfter(1);
    Pair noKey(L"key", object);
    kxhost::heapFailAfter(0);
    EXPECT_EQ(noKey.key(), nullptr);
    context2.addPair(noKey);
    EXPECT_EQ(context2.numEntries(), 0);
    EXPECT_EQ(kxhost::heapLiveBlocks(), before);
}

// ---- Iterator ----

TEST_F(ContextTest, IteratorWalksEntriesAndIsDoneWithoutThem) {
    KxDbTagEvalContext empty;
    std::unique_ptr<KxDbTagEvalContextIterator> it(empty.newIterator());
    ASSERT_NE(it, nullptr);
    EXPECT_TRUE(it->done());
    EXPECT_FALSE(it->hasMore());
    Pair pair = it->currentPair();
    EXPECT_EQ(pair.key(), nullptr);
    EXPECT_EQ(pair.value(), nullptr);
    it->next();
    EXPECT_TRUE(it->done());

    KxDbTagEvalContextIterator detached(nullptr);
    EXPECT_TRUE(detached.done());
    detached.start();
    detached.next();
    EXPECT_EQ(detached.currentPair().key(), nullptr);

    KxDbTagEvalContext context;
    context.addPair(Pair(L"b", &m_second));
    context.addPair(Pair(L"a", &m_first));
    it.reset(context.newIterator());
    ASSERT_TRUE(it->hasMore());
    EXPECT_STREQ(it->currentPair().key(), L"a");
    EXPECT_EQ(it->currentPair().value(), &m_first);
    it->next();
    EXPECT_STREQ(it->currentPair().key(), L"b");
    EXPECT_EQ(it->currentPair().value(), &m_second);
    it->next();
    EXPECT_TRUE(it->done());
    EXPECT_EQ(it->currentPair().key(), nullptr);
    it->next();  // past the end stays there
    EXPECT_TRUE(it->done());
    it->start();
    EXPECT_STREQ(it->currentPair().key(), L"a");
}

// ---- Evaluation mode ----

TEST_F(ContextTest, EvaluationModeIsReplacedAndANullContextHasNone) {
    EXPECT_EQ(kxEvalMode(nullptr), 0);
    EXPECT_FALSE(kxIsEvalMode(nullptr, kEvalModeLoad));
    kxSetEvalMode(nullptr, kEvalModeLoad);  // nothing to set

    KxDbTagEvalContext context;
    EXPECT_EQ(kxEvalMode(&context), 0);
    EXPECT_FALSE(kxIsEvalMode(&context, kEvalModeLoad));

    // Load first, then interactive changes on the same context, then a replay.
    kxSetEvalMode(&context, kEvalModeLoad);
    EXPECT_TRUE(kxIsEvalMode(&context, kEvalModeLoad));
    kxSetEvalMode(&context, kEvalModeInteractive);
    EXPECT_EQ(kxEvalMode(&context), 2);
    EXPECT_FALSE(kxIsEvalMode(&context, kEvalModeLoad));
    EXPECT_TRUE(kxIsEvalMode(&context, kEvalModeInteractive));
    kxSetEvalMode(&context, kEvalModeReplay);
    EXPECT_EQ(kxEvalMode(&context), 3);
    EXPECT_EQ(context.numEntries(), 1);

    // The mode entry is walked like any other; its object is the integer itself.
    std::unique_ptr<KxDbTagEvalContextIterator> it(context.newIterator());
    ASSERT_TRUE(it->hasMore());
    EXPECT_STREQ(it->currentPair().key(), KX_EVAL_KEY_MODE);

    context.removeKey(KX_EVAL_KEY_MODE);
    EXPECT_EQ(kxEvalMode(&context), 0);

    // A real object stored under the mode key is not a mode.
    context.addPair(Pair(KX_EVAL_KEY_MODE, &m_first));
    EXPECT_EQ(kxEvalMode(&context), 0);
    EXPECT_FALSE(kxIsEvalMode(&context, kEvalModeLoad));
    kxSetEvalMode(&context, kEvalModeLoad);
    EXPECT_EQ(kxEvalMode(&context), 1);
}

}  // namespace
