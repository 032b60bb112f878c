// The parameter tree's structure: parents, NOT FOUND nodes, ordering, loops, hints.
#include <gtest/gtest.h>

#include "ParamTestModel.h"
#include "paramfiles/ParameterTreeBuilder.h"

using namespace zeb7;
using zeb7::test::ModelBuilder;

namespace {

std::vector<std::string> Texts(const TParameterTreeBuilder& t, const std::vector<int>& ids) {
  std::vector<std::string> out;
  for (int id : ids) out.push_back(t.Nodes()[size_t(id)].Text);
  return out;
}

}  // namespace

TEST(ParameterTree, GroupsUnderParentsParametersOrderedNotFoundRoots) {
  ModelBuilder b;
  b.Target(0).Target(1);
  b.Group(0, 0, "CUR", "Current", "LOOPS");  // the parent comes later
  b.Group(0, 1, "SPD", "Speed", "LOOPS");    // shares the parent node
  b.Group(0, 2, "LOOPS", "Loops");
  b.Group(1, 0, "Gain", "", "");             // a group named like a caption below
  TParameter& p1 = b.Param(0, 0, "KP", "THUMB", 0, 1, "Zeta");
  p1.P.iUserClass = 0;
  TParameter& p2 = b.Param(0, 1, "KI", "THUMB", 0, 2, "Alpha");
  p2.P.iUserClass = 1;
  b.Param(0, 2, "KD", "THUMB", 0, 3, "Gain").P.iUserClass = 0;
  b.Param(0, 3, "X", "THUMB", 7, 3, "Lost one");   // group 7 has no name
  b.Param(0, 4, "Y", "THUMB", 7, 3, "Lost two");
  TParameterTreeBuilder t;
  t.Build(b.m);
  // Roots: the group "Gain" (no description: by text), LOOPS (by description), one NOT FOUND node.
  ASSERT_EQ(t.Roots().size(), 3u);
  const int loops = t.GroupNode("LOOPS");
  ASSERT_GE(loops, 0);
  EXPECT_EQ(t.Nodes()[size_t(loops)].Description, "Loops");
  EXPECT_EQ(Texts(t, t.Nodes()[size_t(loops)].Children), (std::vector<std::string>{"CUR", "SPD"}));
  const int cur = t.GroupNode("CUR");
  // User class first, then caption; the parameter captioned like a group stays a parameter.
  EXPECT_EQ(Texts(t, t.Nodes()[size_t(cur)].Children), (std::vector<std::string>{"Gain", "Zeta", "Alpha"}));
  EXPECT_EQ(t.Nodes()[size_t(t.Nodes()[size_t(cur)].Children[0])].Key, ParamKey(2, 0));
  EXPECT_TRUE(t.Nodes()[size_t(t.GroupNode("Gain"))].Children.empty());
  int notFound = -1;
  for (int r : t.Roots())
    if (t.Nodes()[size_t(r)].Kind == TTreeNode::tnNotFound) notFound = r;
  ASSERT_GE(notFound, 0);
  EXPECT_EQ(t.Nodes()[size_t(notFound)].Text, "NOT FOUND: ");
  EXPECT_EQ(t.Nodes()[size_t(notFound)].Children.size(), 2u);
}

TEST(ParameterTree, LoopingParentChainsAreCut) {
  ModelBuilder b;
  b.Target(0);
  b.Group(0, 0, "A", "a", "B").Group(0, 1, "B", "b", "A").Group(0, 2, "C", "c", "C");
  TParameterTreeBuilder t;
  t.Build(b.m);
  // Every node is reachable from a root exactly once, and C is a root.
  std::vector<int> seen(t.Nodes().size(), 0);
  std::vector<int> todo = t.Roots();
  while (!todo.empty()) {
    const int n = todo.back();
    todo.pop_back();
    ASSERT_LT(++seen[size_t(n)], 2);
    for (int c : t.Nodes()[size_t(n)].Children) todo.push_back(c);
  }
  for (int s : seen) EXPECT_EQ(s, 1);
  EXPECT_EQ(t.Nodes()[size_t(t.GroupNode("C"))].Parent, -1);
}

TEST(ParameterTree, HintListsTheDescriptorWithColons) {
  ModelBuilder b;
  b.Target(0);
  TParameter& p = b.Param(0, 0, "KP", "THUMB", 0, -7, "Gain", "5|2|0.01|V", 0, 0xAB);
  p.P.iUserClass = 1;
  EXPECT_EQ(TParameterTreeBuilder::Hint(b.m, p.Key()),
            "Value = -7\r\nUser Class = Advanced\r\nFW Name = KP\r\nControl = THUMB\r\n"
            "Properties = 5:2:0.01:V\r\nChecksum = 00AB");
  EXPECT_EQ(TParameterTreeBuilder::Hint(b.m, ParamKey(9, 0)), "");
}
