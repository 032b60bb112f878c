#pragma once
// A data model filled by hand, as if synchronised with a drive: parameters
// with complete descriptors and values, group tables and type plates.
#include <string>

#include "model/DriveModel.h"

namespace zeb7::test {

struct ModelBuilder {
  TDriveModel m;

  ModelBuilder() {
    for (auto& ti : m.TargetInfo) ti.fNotPresent = true;
  }
  ModelBuilder& Target(int t) {
    m.TargetInfo[t].fNotPresent = false;
    return *this;
  }
  ModelBuilder& Group(int t, int index, const std::string& name, const std::string& descr = "",
                      const std::string& parent = "") {
    m.Strings.GroupNameLists[t]->SetControllerString(index, name);
    if (!descr.empty()) m.Strings.GroupDescriptionLists[t]->SetControllerString(index, descr);
    if (!parent.empty()) m.Strings.GroupParentLists[t]->SetControllerString(index, parent);
    return *this;
  }
  ModelBuilder& Plate(int t, int index, const std::string& text) {
    m.Strings.TypePlateLists[t]->SetControllerString(index, text);
    return *this;
  }
  TParameter& Param(int t, int index, const std::string& name, const std::string& control, int group,
                    int64_t value, const std::string& caption = "", const std::string& props = "",
                    int type = 0, uint16_t checksum = 0x1234) {
    TParameter& p = m.ParameterList.GetParameter(index, t);
    p.P.sFirmwareName = name;
    p.P.sControl = control;
    p.P.iGroupNr = group;
    p.P.sCaption = caption;
    p.P.sControlProperties = props;
    p.P.iTypeNr = type;
    p.P.wChecksum = checksum;
    p.State = ParamStateAllOK;
    p.i64Value = value;
    p.iValue = static_cast<int32_t>(value);
    ++m.TargetInfo[t].ParamCount;
    return p;
  }
};

}  // namespace zeb7::test
