#include "words/sorane_base.h"

#include "text/encoding.h"

namespace sorane {

TSoraneBase::TSoraneBase() : SwitchValue(NoSwitch()), Random(std::random_device{}()) {}

const std::string& TSoraneBase::NoSwitch() {
  return SJ("\\~未定義");
}

}  // namespace sorane
