#include "paramfiles/ParameterTreeBuilder.h"

#include <algorithm>
#include <cstdio>

#include "model/DriveModel.h"

namespace zeb7 {

void TParameterTreeBuilder::Clear() {
  nodes_.clear();
  roots_.clear();
  groups_.clear();
  notFound_.clear();
}

int TParameterTreeBuilder::GroupNode(const std::string& name) const {
  auto it = groups_.find(name);
  return it == groups_.end() ? -1 : it->second;
}

int TParameterTreeBuilder::Add(TTreeNode node, int parent) {
  node.Parent = parent;
  nodes_.push_back(std::move(node));
  const int id = static_cast<int>(nodes_.size()) - 1;
  (parent < 0 ? roots_ : nodes_[size_t(parent)].Children).push_back(id);
  return id;
}

bool TParameterTreeBuilder::IsAncestor(int ancestor, int node) const {
  for (int n = node; n >= 0; n = nodes_[size_t(n)].Parent)
    if (n == ancestor) return true;
  return false;
}

void TParameterTreeBuilder::Move(int node, int parent) {
  TTreeNode& n = nodes_[size_t(node)];
  auto& from = n.Parent < 0 ? roots_ : nodes_[size_t(n.Parent)].Children;
  from.erase(std::remove(from.begin(), from.end(), node), from.end());
  n.Parent = parent;
  nodes_[size_t(parent)].Children.push_back(node);
}

void TParameterTreeBuilder::Build(TDriveModel& model) {
  Clear();
  auto lock = model.Lock();
  const TStringLists& s = model.Strings;
  for (int t = 0; t < kTargetCount; ++t) {
    const TControllerStringList* names = s.GroupNameLists[t].get();
    const TControllerStringList* parents = s.GroupParentLists[t].get();
    const TControllerStringList* descrs = s.GroupDescriptionLists[t].get();
    for (int k = 0; names && k < names->Count(); ++k) {
      const std::string caption = names->At(k)->sCaption;
      std::string parent = parents && k < parents->Count() ? parents->At(k)->sCaption : std::string();
      if (parent == caption) parent.clear();  // a group naming itself as its parent is cut
      int node = GroupNode(caption);
      if (!parent.empty()) {
        int p = GroupNode(parent);
        if (p < 0) {
          TTreeNode n;
          n.Kind = TTreeNode::tnParentOnly;
          n.Text = parent;
          p = groups_[parent] = Add(std::move(n), -1);
        }
        if (node < 0) {
          TTreeNode n;
          n.Text = caption;
          node = groups_[caption] = Add(std::move(n), p);
        } else if (nodes_[size_t(node)].Parent != p && !IsAncestor(node, p)) {  // never under its own descendant: that would loop
          Move(node, p);
        }
      } else if (node < 0) {
        TTreeNode n;
        n.Text = caption;
        node = groups_[caption] = Add(std::move(n), -1);
      }
      TTreeNode& n = nodes_[size_t(node)];
      if (!n.HasDescription && descrs && k < descrs->Count()) {
        n.HasDescription = true;
        n.Description = descrs->At(k)->sCaption;
        n.Kind = TTreeNode::tnGroup;
      }
    }
  }
  TParameterList& params = model.ParameterList;
  for (int i = 0; i < params.Count(); ++i) {
    TParameter* p = params.At(i);
    const std::string group = p->sGroupName();
    int g = GroupNode(group);
    if (g < 0) {
      auto it = notFound_.find(group);
      if (it == notFound_.end()) {
        TTreeNode n;
        n.Kind = TTreeNode::tnNotFound;
        n.Text = "NOT FOUND: " + group;
        it = notFound_.emplace(group, Add(std::move(n), -1)).first;
      }
      g = it->second;
    }
    TTreeNode n;
    n.Kind = TTreeNode::tnParameter;
    n.Text = p->P.sCaption;
    n.Key = p->Key();
    n.UserClass = p->P.iUserClass;
    Add(std::move(n), g);
  }
  Sort(roots_);
}

bool TParameterTreeBuilder::Before(int ia, int ib) const {
  const TTreeNode& a = nodes_[size_t(ia)];
  const TTreeNode& b = nodes_[size_t(ib)];
  const bool pa = a.Kind == TTreeNode::tnParameter, pb = b.Kind == TTreeNode::tnParameter;
  const bool da = a.HasDescription, db = b.HasDescription;
  if ((pa || da) && (pb || db)) {
    if (pa && pb) {
      if (a.UserClass != b.UserClass) return a.UserClass < b.UserClass;
      return a.Text < b.Text;
    }
    if (da && db) return a.Description < b.Description;
    return da;  // a description sorts before a parameter
  }
  return a.Text < b.Text;
}

void TParameterTreeBuilder::Sort(std::vector<int>& level) {
  std::stable_sort(level.begin(), level.end(), [this](int a, int b) { return Before(a, b); });
  for (int n : level) Sort(nodes_[size_t(n)].Children);
}

std::string TParameterTreeBuilder::Hint(TDriveModel& model, int32_t key) {
  auto lock = model.Lock();
  TParameter* p = model.ParameterList.Find(key);
  if (!p) return {};
  std::string h;
  const size_t wins = p->MyDisplayWins.size();
  if (wins == 1) h += "X : ";
  else if (wins > 1) h += std::to_string(wins) + "x : ";
  h += "Value = " + std::to_string(p->i64Value) + "\r\n";
  static const char* classes[] = {"User", "Advanced", "Debug"};
  h += "User Class = ";
  if (p->P.iUserClass >= 0 && p->P.iUserClass <= 2) h += classes[p->P.iUserClass];
  h += "\r\nFW Name = " + p->P.sFirmwareName;
  h += "\r\nControl = " + p->P.sControl;
  h += "\r\nProperties = " + p->P.sControlProperties;
  char sum[8];
  std::snprintf(sum, sizeof sum, "%04X", unsigned(p->P.wChecksum));
  h += "\r\nChecksum = " + std::string(sum);
  std::replace(h.begin(), h.end(), '|', ':');
  return h;
}

}  // namespace zeb7
