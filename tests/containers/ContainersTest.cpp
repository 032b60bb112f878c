#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "containers/DbArray.h"
#include "containers/FifoList.h"
#include "containers/FifoThreadList.h"
#include "containers/IntArray.h"
#include "containers/ObjArray.h"
#include "containers/Objlist.h"
#include "containers/Sortlist.h"

namespace zeb7 {
namespace {

struct Item {
  int key;
  int tag;
  static inline int alive = 0;
  Item(int k, int t = 0) : key(k), tag(t) { ++alive; }
  ~Item() { --alive; }
};

int CompareItems(const Item* a, const Item* b) { return a->key - b->key; }
int CompareKey(const Item* a, const int& k) { return a->key - k; }

std::vector<int> Tags(const TSortedList<Item>& list) {
  std::vector<int> tags;
  for (Item* it : list) tags.push_back(it->tag);
  return tags;
}

TEST(SortedList, InsertWithoutDuplicatesRejectsEqualKey) {
  TSortedList<Item> list(CompareItems, false);
  Item a(5, 1), b(3, 2), c(5, 3);
  EXPECT_TRUE(list.Insert(&a));
  EXPECT_TRUE(list.Insert(&b));
  EXPECT_FALSE(list.Insert(&c));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(Tags(list), (std::vector<int>{2, 1}));
  // An equal key finds the stored item, not necessarily the same object.
  EXPECT_EQ(list.IndexOf(&c), 1);
}

TEST(SortedList, DuplicatesGoInFrontOfEqualsAndIndexOfFindsIdentity) {
  TSortedList<Item> list(CompareItems, true);
  Item a(5, 1), b(5, 2), c(5, 3), low(1, 9), high(9, 8), stranger(5, 7);
  for (Item* it : {&high, &a, &low, &b, &c}) EXPECT_TRUE(list.Insert(it));
  EXPECT_EQ(Tags(list), (std::vector<int>{9, 3, 2, 1, 8}));
  EXPECT_EQ(list.IndexOf(&a), 3);
  EXPECT_EQ(list.IndexOf(&c), 1);
  EXPECT_EQ(list.IndexOf(&stranger), -1);
  int32_t index = -1;
  EXPECT_TRUE(list.Search(&stranger, index));
  EXPECT_EQ(index, 1);  // first of the run of equals
}

TEST(SortedList, SearchReturnsInsertionPointAndNeedsItsCompareFunction) {
  TSortedList<Item> list(CompareItems, CompareKey, false);
  Item a(10), b(20), c(30);
  list.Insert(&c);
  list.Insert(&a);
  list.Insert(&b);
  int32_t index = -1;
  EXPECT_FALSE(list.Search2(25, index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Search2(99, index));
  EXPECT_EQ(index, 3);
  EXPECT_TRUE(list.Search2(10, index));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(list.IndexOf2(30), 2);
  EXPECT_EQ(list.IndexOf2(31), -1);
  EXPECT_FALSE(list.Search3({int64_t{10}}, index));
  EXPECT_EQ(list.IndexOf3({int64_t{10}}), -1);

  TSortedList<Item> empty(CompareItems, false);
  EXPECT_FALSE(empty.Search(&a, index));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(empty.At(0), nullptr);
  EXPECT_FALSE(empty.Search2(1, index));
}

TEST(SortedList, CompositeKeySearch) {
  TSortedList<Item> list(
      CompareItems,
      TSortedList<Item>::TCompareFunction3([](const Item* it, const TVariantList& keys) {
        return it->key - static_cast<int>(std::get<int64_t>(keys.at(0)));
      }),
      false);
  Item a(1), b(2);
  list.Insert(&b);
  list.Insert(&a);
  EXPECT_EQ(list.IndexOf3({int64_t{2}}), 1);
  EXPECT_EQ(list.IndexOf3({int64_t{3}}), -1);
}

TEST(SortedList, ShrinkRuleAfterDelete) {
  std::vector<Item> items;
  items.reserve(51);
  for (int i = 0; i < 51; ++i) items.emplace_back(i);
  TSortedList<Item> list(CompareItems, false);
  for (auto& it : items) list.Insert(&it);

  list.SetCapacity(300);
  list.AtDelete(50);
  EXPECT_EQ(list.Count(), 50);
  EXPECT_EQ(list.Capacity(), 50);

  list.Insert(&items[50]);
  list.SetCapacity(200);
  list.DeleteItem(&items[50]);
  EXPECT_EQ(list.Capacity(), 200);
}

TEST(SortedList, FreeOperationsDeleteOnlyWhatTheySay) {
  const int before = Item::alive;
  {
    TSortedList<Item> list(CompareItems, false);
    Item* a = new Item(1);
    Item* b = new Item(2);
    Item* c = new Item(3);
    list.Insert(a);
    list.Insert(b);
    list.Insert(c);
    list.FreeItem(b);
    EXPECT_EQ(Item::alive, before + 2);
    list.AtDelete(0);  // a is removed, not freed
    EXPECT_EQ(Item::alive, before + 2);
    list.FreeAll();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(Item::alive, before + 1);
    delete a;
  }
  EXPECT_EQ(Item::alive, before);
}

TEST(SortedList, EqualsAndForEach) {
  Item a(1), b(2), a2(1);
  TSortedList<Item> x(CompareItems, true), y(CompareItems, true);
  x.Insert(&a);
  x.Insert(&b);
  y.Insert(&a2);
  y.Insert(&b);
  EXPECT_FALSE(x.Equals(y));
  y.DeleteItem(&a2);
  y.Insert(&a);
  EXPECT_TRUE(x.Equals(y));

  // Removing items from inside ForEach does not run past the end.
  int calls = 0;
  x.ForEach([&](Item*) {
    ++calls;
    x.AtDelete(0);
  });
  EXPECT_EQ(calls, 1);
}

TEST(SortedList, SignedBoundsOnEmptyList) {
  TSortedList<Item> list(CompareItems, CompareKey, false);
  EXPECT_EQ(list.IndexOf2(0), -1);
  list.AtDelete(0);
  list.AtFree(-1);
  EXPECT_EQ(list.Count(), 0);
}

TEST(ObjectList, GetAtSetAtAndCount) {
  TObjectList<Item> list;
  Item a(1);
  EXPECT_EQ(list.GetAt(0), nullptr);
  list.SetAt(5, &a);
  EXPECT_EQ(list.Count(), 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.GetAt(i), nullptr);
  EXPECT_EQ(list.GetAt(5), &a);
  EXPECT_EQ(list.GetAt(list.Count()), nullptr);
  list.SetCount(2);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(&a), -1);
}

TEST(ObjectList, IdentityOperationsAssignAndFree) {
  const int before = Item::alive;
  TObjectList<Item> list;
  Item* a = new Item(1);
  Item* b = new Item(1);
  EXPECT_EQ(list.Add(a), 0);
  EXPECT_EQ(list.Add(b), 1);
  list.Insert(0, b);
  EXPECT_EQ(list.IndexOf(b), 0);

  TObjectList<Item> copy;
  copy.Add(a);
  copy.Assign(list);
  EXPECT_TRUE(copy.Equals(list));
  copy.DeleteItem(b);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.GetAt(0), a);

  list.AtDelete(0);
  list.FreeItem(b);
  EXPECT_EQ(Item::alive, before + 1);
  list.FreeAll();
  EXPECT_EQ(Item::alive, before);
  EXPECT_EQ(list.Count(), 0);
}

TEST(Fifo, OrderAndEmpty) {
  TFifo<Item> fifo;
  Item a(1), b(2), c(3);
  Item* out = &a;
  EXPECT_FALSE(fifo.FifoOut(out));
  EXPECT_EQ(out, nullptr);
  fifo.FifoIn(&a);
  fifo.FifoIn(&b);
  fifo.LifoIn(&c);
  EXPECT_EQ(fifo.At(0), &c);
  ASSERT_TRUE(fifo.FifoOut(out));
  EXPECT_EQ(out, &c);
  ASSERT_TRUE(fifo.FifoOut(out));
  EXPECT_EQ(out, &a);
  EXPECT_EQ(fifo.Count(), 1);
}

TEST(ThreadFifo, DuplicateRulesAndOrder) {
  TThreadFifo<Item> fifo;
  Item a(1), b(2), c(3);
  fifo.FifoIn(&a);
  fifo.FifoIn(&a);
  EXPECT_EQ(fifo.Count(), 1);
  fifo.LifoIn(&a);
  EXPECT_EQ(fifo.Count(), 2);
  fifo.Insert(1, &b);
  fifo.Insert(99, &c);
  EXPECT_EQ(fifo.At(0), &a);
  EXPECT_EQ(fifo.At(1), &b);
  EXPECT_EQ(fifo.At(3), &c);
  EXPECT_EQ(fifo.FifoOut2(), &a);
  auto& locked = fifo.GetLockedList();
  EXPECT_EQ(locked.size(), 3u);
  EXPECT_EQ(fifo.Count(), 3);  // the lock is re-entrant for its holder
  fifo.UnlockList();
  fifo.DeleteAll();
  EXPECT_EQ(fifo.FifoOut2(), nullptr);
}

TEST(ThreadFifo, ConcurrentProducersLoseNothing) {
  TThreadFifo<Item> fifo;
  std::vector<Item> items;
  items.reserve(4000);
  for (int i = 0; i < 4000; ++i) items.emplace_back(i);
  std::thread t1([&] {
    for (int i = 0; i < 2000; ++i) fifo.FifoIn(&items[i]);
  });
  std::thread t2([&] {
    for (int i = 2000; i < 4000; ++i) fifo.FifoIn(&items[i]);
  });
  int taken = 0;
  while (taken < 4000) {
    if (fifo.FifoOut2()) ++taken;
  }
  t1.join();
  t2.join();
  EXPECT_EQ(fifo.Count(), 0);
}

TEST(ObjectArray, SparseStoreAndEnumerate) {
  TObjectArray<Item> arr;
  Item x(1), y(2);
  arr.SetItem(7, &x);
  EXPECT_EQ(arr.Count(), 1);
  EXPECT_EQ(arr.GetItem(3), nullptr);
  int32_t index = 0;
  Item* obj = nullptr;
  ASSERT_TRUE(arr.InitializedElement(0, index, obj));
  EXPECT_EQ(index, 7);
  EXPECT_EQ(obj, &x);
  EXPECT_FALSE(arr.InitializedElement(1, index, obj));
  EXPECT_FALSE(arr.InitializedElement(-1, index, obj));

  arr.SetItem(7, &y);  // replaces, does not free
  arr.SetItem(-5, &x);
  arr.SetItem(0x7FFFFFFF, &x);
  arr.SetItem(INT32_MIN, &y);  // extreme keys do not overflow the comparison
  EXPECT_EQ(arr.Count(), 4);
  EXPECT_EQ(arr.GetItem(7), &y);
  EXPECT_EQ(arr.GetItem(INT32_MIN), &y);
  ASSERT_TRUE(arr.InitializedElement(0, index, obj));
  EXPECT_EQ(index, INT32_MIN);
  ASSERT_TRUE(arr.InitializedElement(3, index, obj));
  EXPECT_EQ(index, 0x7FFFFFFF);
  arr.AtDelete(7);
  EXPECT_EQ(arr.GetItem(7), nullptr);
  EXPECT_EQ(arr.Count(), 3);
  arr.DeleteAll();
  EXPECT_EQ(arr.Count(), 0);
}

TEST(ObjectArray, FreeDeletesHeldObjects) {
  const int before = Item::alive;
  {
    TObjectArray<Item> arr;
    arr.SetItem(1, new Item(1));
    arr.SetItem(2, new Item(2));
    arr.SetItem(3, new Item(3));
    arr.AtFree(2);
    EXPECT_EQ(Item::alive, before + 2);
    arr.FreeAll();
    EXPECT_EQ(Item::alive, before);
    Item keep(4);
    arr.SetItem(4, &keep);
  }  // destruction leaves held objects alone (keep is on the stack)
  EXPECT_EQ(Item::alive, before);
}

TEST(IntArray, AbsentIsZero) {
  TIntArray arr;
  EXPECT_EQ(arr.GetItem(42), 0);
  arr.SetItem(42, -3);
  arr.SetItem(1, 9);
  arr.SetItem(42, 5);
  EXPECT_EQ(arr.Count(), 2);
  EXPECT_EQ(arr.GetItem(42), 5);
  int32_t index = 0, value = 0;
  ASSERT_TRUE(arr.ListValue(1, index, value));
  EXPECT_EQ(index, 42);
  EXPECT_EQ(value, 5);
  arr.AtFree(1);
  EXPECT_EQ(arr.GetItem(1), 0);
  arr.FreeAll();
  EXPECT_EQ(arr.Count(), 0);
}

TEST(DoubleArray, BoundsAndCopy) {
  TDoubleArray arr(3);
  EXPECT_EQ(arr.Items(), 3);
  arr.SetAt(0, 1.5);
  arr.SetAt(2, -2.25);
  arr.SetAt(3, 99.0);
  EXPECT_EQ(arr.GetAt(3), 0.0);
  EXPECT_EQ(arr.GetAt(-1), 0.0);
  TDoubleArray copy(arr);
  arr.SetAt(0, 7.0);
  EXPECT_EQ(copy.Items(), 3);
  EXPECT_EQ(copy.GetAt(0), 1.5);
  EXPECT_EQ(copy.GetAt(2), -2.25);
  TDoubleArray empty(0);
  TDoubleArray emptyCopy(empty);
  EXPECT_EQ(emptyCopy.Items(), 0);
  EXPECT_EQ(emptyCopy.GetAt(0), 0.0);
}

}  // namespace
}  // namespace zeb7
