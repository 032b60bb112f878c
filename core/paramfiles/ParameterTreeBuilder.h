#pragma once
// The parameter tree's structure, built from the drive model: group nodes
// arranged by their parent groups, under each group its parameters, and a
// "NOT FOUND: " root per unknown group. Nodes hold texts and parameter keys,
// never pointers into the model; a parent chain that loops or names itself is
// cut. The tree view only renders it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zeb7 {

class TDriveModel;

struct TTreeNode {
  enum TKind { tnGroup, tnParentOnly, tnParameter, tnNotFound };
  TKind Kind = tnGroup;
  std::string Text;          // group name, caption, or "NOT FOUND: " + group (Latin-1)
  bool HasDescription = false;
  std::string Description;   // group nodes with a description entry
  int32_t Key = -1;          // parameter nodes
  int32_t UserClass = 0;     // parameter nodes
  int Parent = -1;
  std::vector<int> Children;
};

class TParameterTreeBuilder {
 public:
  void Clear();
  // Groups of targets 0..9, then the parameters in key order, then the sort.
  void Build(TDriveModel& model);

  const std::vector<TTreeNode>& Nodes() const { return nodes_; }
  const std::vector<int>& Roots() const { return roots_; }
  // Node of a group name, -1 when none (parameters are not in this map).
  int GroupNode(const std::string& name) const;

  // The ordering of two sibling nodes: a before b (a strict weak order).
  bool Before(int a, int b) const;

  // Hint of a parameter node ("" for others), lines ended by CR LF, "|" as ":".
  static std::string Hint(TDriveModel& model, int32_t key);

 private:
  int Add(TTreeNode node, int parent);
  void Move(int node, int parent);
  bool IsAncestor(int ancestor, int node) const;
  void Sort(std::vector<int>& level);

  std::vector<TTreeNode> nodes_;
  std::vector<int> roots_;
  std::map<std::string, int> groups_;
  std::map<std::string, int> notFound_;
};

}  // namespace zeb7
