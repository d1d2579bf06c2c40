// TObjList: the script objects of a run (object 0 is the host window). The
// records themselves are defined by the GUI layer; here they are opaque nodes.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace sorane {

struct TObjNode {
  virtual ~TObjNode() = default;
  std::string Name;
};

class TObjList {
 public:
  int Add(std::unique_ptr<TObjNode> node);
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  TObjNode* FindByName(const std::string& name) const;
  int IndexOf(const std::string& name) const;
  TObjNode* Get(int i) const;
  void Put(int i, std::unique_ptr<TObjNode> node);

 private:
  std::vector<std::unique_ptr<TObjNode>> items_;
};

}  // namespace sorane
