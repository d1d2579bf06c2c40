#include "words/obj_list.h"

namespace sorane {

int TObjList::Add(std::unique_ptr<TObjNode> node) {
  items_.push_back(std::move(node));
  return static_cast<int>(items_.size()) - 1;
}

TObjNode* TObjList::FindByName(const std::string& name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : items_[i].get();
}

int TObjList::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] && items_[i]->Name == name) return static_cast<int>(i);
  return -1;
}

TObjNode* TObjList::Get(int i) const {
  return i >= 0 && i < Count() ? items_[i].get() : nullptr;
}

void TObjList::Put(int i, std::unique_ptr<TObjNode> node) {
  if (i >= 0 && i < Count()) items_[i] = std::move(node);
}

}  // namespace sorane
