// The data model against the virtual drive over a pseudo-terminal: a big drive
// synchronised to the end, on a clean and on a faulty line, and the drive
// changing underneath.
#include <gtest/gtest.h>

#include <chrono>

#include "SimServer.h"
#include "link/ThrdComm.h"
#include "model/DriveModel.h"
#include "link/TextCodec.h"

namespace zeb7 {
namespace {

class SimSession {
 public:
  SimSession(sim::DriveDescription d, sim::SimOptions o) : sim_(std::move(d), std::move(o)) {
    sim_.start();
    comm_ = std::make_unique<TCommInterface>(exec_);
    comm_->PortTable().SetEntry(1, sim_.devicePath());
    comm_->SetComPort(1);
    comm_->SetOnErrorMessage([](const std::string&) {});
    model.Run(*comm_);
    opened = comm_->OpenCom();
    comm_->Resume();
  }
  ~SimSession() {
    comm_.reset();
    sim_.stop();
  }
  bool ServeUntil(const std::function<bool()>& done, int seconds = 240) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < until) exec_.WaitAndProcess(5);
    return done();
  }
  bool Synchronised() {
    return model.ProjectState.ProjState() == statDone && !model.ProjectState.fUpdateInProgress() &&
           model.ProjectState.fAllParametersRead();
  }
  sim::SimServer& Sim() { return sim_; }

  TDriveModel model;
  bool opened = false;

 private:
  TQueueExecutor exec_;
  sim::SimServer sim_;
  std::unique_ptr<TCommInterface> comm_;
};

// Every descriptor, value and string of the model equals the drive's description.
void ExpectEqualsDescription(TDriveModel& m, const sim::DriveDescription& d) {
  int expectedParams = 0;
  for (int t = 0; t < kTargetCount; ++t) {
    const sim::SimTarget& st = d.targets[t];
    if (!st.present) {
      EXPECT_TRUE(m.TargetInfo[t].fNotPresent) << "target " << t;
      continue;
    }
    EXPECT_FALSE(m.TargetInfo[t].fNotPresent) << "target " << t;
    EXPECT_EQ(m.TargetInfo[t].TargetState, statDone);
    EXPECT_EQ(m.TargetInfo[t].Version, st.version);
    EXPECT_EQ(m.TargetInfo[t].Checksum, st.globalChecksum());
    expectedParams += static_cast<int>(st.parameters.size());
    for (size_t i = 0; i < st.parameters.size(); ++i) {
      const sim::SimParameter& sp = st.parameters[i];
      TParameter* p = m.ParameterList.Find(static_cast<int32_t>(i), t);
      ASSERT_NE(p, nullptr) << t << "." << i;
      SCOPED_TRACE(sp.sFirmwareName);
      EXPECT_EQ(p->ParamState(), ParamStateAllOK);
      EXPECT_EQ(p->P.sFirmwareName, sp.sFirmwareName);
      EXPECT_EQ(p->P.sControl, AsciiUpper(sp.sControl));
      EXPECT_EQ(p->P.sCaption, sp.sCaption);
      EXPECT_EQ(p->P.sControlProperties, sp.sControlProperties);
      EXPECT_EQ(p->P.iGroupNr, sp.bGroup);
      EXPECT_EQ(p->P.iTypeNr, sp.iType);
      EXPECT_EQ(p->P.wChecksum, sp.checksum(static_cast<int>(i)));
      EXPECT_EQ(p->i64Value, sp.value);
      const bool lower0 = sp.sControl[0] >= 'a' && sp.sControl[0] <= 'z';
      const bool lower1 = sp.sControl[1] >= 'a' && sp.sControl[1] <= 'z';
      EXPECT_EQ(p->P.iUserClass, !lower1 ? 0 : !lower0 ? 1 : 2);
      EXPECT_EQ(p->sGroupName(), sp.bGroup < st.groups.size() ? st.groups[sp.bGroup].name : "");
    }
    for (size_t g = 0; g < st.groups.size(); ++g) {
      EXPECT_EQ(m.Strings.GroupNameLists[t]->GetString(static_cast<int32_t>(g)), st.groups[g].name);
      if (st.hasGroupDescriptions) {
        EXPECT_EQ(m.Strings.GroupDescriptionLists[t]->GetString(static_cast<int32_t>(g)), st.groups[g].description);
      }
      if (st.hasGroupParents) {
        EXPECT_EQ(m.Strings.GroupParentLists[t]->GetString(static_cast<int32_t>(g)), st.groups[g].parent);
      }
    }
    for (size_t l = 0; l < st.typePlate.size(); ++l)
      EXPECT_EQ(m.Strings.TypePlateLists[t]->GetString(static_cast<int32_t>(l)), st.typePlate[l]);
  }
  EXPECT_EQ(m.ParameterList.Count(), expectedParams);
}

sim::DriveDescription BigDrive() { return sim::generatedDrive(600, 50); }

void StartSync(TDriveModel& m) {
  // as after opening a project
  m.ProjectState.Reset();
  m.ProjectState.Restart();
  m.ProjectState.SearchParams();
}

TEST(ModelSyncEndToEnd, BigDriveIsReadCompletely) {
  const sim::DriveDescription d = BigDrive();
  SimSession s(d, {});
  ASSERT_TRUE(s.opened);
  StartSync(s.model);
  ASSERT_TRUE(s.ServeUntil([&] { return s.Synchronised(); }));
  ExpectEqualsDescription(s.model, d);
}

TEST(ModelSyncEndToEnd, FaultyLineEndsWithTheSameDatabase) {
  const sim::DriveDescription d = BigDrive();
  sim::SimOptions o;
  o.faults.drop = 0.02;
  o.faults.corrupt = 0.02;
  o.faults.delay = 0.02;
  o.faults.garbage = 0.02;
  o.faults.delayMs = 150;
  o.faults.seed = 7;
  SimSession s(d, o);
  ASSERT_TRUE(s.opened);
  StartSync(s.model);
  ASSERT_TRUE(s.ServeUntil([&] { return s.Synchronised(); }, 600));
  ExpectEqualsDescription(s.model, d);
  EXPECT_GT(s.Sim().stats().dropped + s.Sim().stats().corrupted, 0u);
}

TEST(ModelSyncEndToEnd, DriveChangesAreFollowed) {
  sim::DriveDescription d = sim::defaultDrive();
  SimSession s(d, {});
  ASSERT_TRUE(s.opened);
  StartSync(s.model);
  ASSERT_TRUE(s.ServeUntil([&] { return s.Synchronised(); }, 60));
  TDriveModel& m = s.model;

  // a changed caption on target 1 changes its global checksum: the target is read again
  ASSERT_EQ(s.Sim().control(R"({"op":"set-caption","target":1,"index":3,"caption":"Renamed"})"), "");
  ASSERT_TRUE(s.ServeUntil([&] { return m.ParameterList.Find(3, 1)->P.sCaption == "Renamed"; }, 60));
  ASSERT_TRUE(s.ServeUntil([&] { return m.TargetInfo[1].TargetState == statDone; }, 60));

  // a shown value follows the drive
  TParameter* shown = m.ParameterList.Find(0, 1);
  ASSERT_NE(shown, nullptr);
  struct Probe : IDisplayWin {
    explicit Probe(TDispParam p) : local(std::move(p)) {}
    void SetRawValue(int64_t raw) override { last = raw; }
    int64_t GetRawValue() const override { return 0; }
    const TDispParam& GetLocalParam() const override { return local; }
    void SetDispWinState(TDispWinState) override {}
    void UpdateDisplayWinFromParameter(const TDispParam& p, TDisplayList&) override { local = p; }
    TDispParam local;
    int64_t last = -1;
  } probe(shown->Descriptor());
  shown->AddDisplay(&probe);
  ASSERT_EQ(s.Sim().control(R"({"op":"set-value","target":1,"index":0,"value":4242})"), "");
  ASSERT_TRUE(s.ServeUntil([&] { return probe.last == 4242; }, 30));

  // a removed target is dropped; a shown parameter's poll brings it back when it returns
  ASSERT_EQ(s.Sim().control(R"({"op":"target","target":1,"present":false})"), "");
  ASSERT_TRUE(s.ServeUntil([&] { return m.TargetInfo[1].fNotPresent.load(); }, 60));
  ASSERT_EQ(s.Sim().control(R"({"op":"target","target":1,"present":true})"), "");
  ASSERT_TRUE(s.ServeUntil([&] { return !m.TargetInfo[1].fNotPresent && m.TargetInfo[1].TargetState == statDone; }, 60));
  m.ParameterList.RemoveDisplay(&probe);

  // target 0 changes: everything is cleared and read again
  ASSERT_EQ(s.Sim().control(R"({"op":"set-checksum","target":0,"checksum":1234})"), "");
  ASSERT_TRUE(s.ServeUntil([&] { return m.TargetInfo[0].Checksum == 1234u && s.Synchronised(); }, 60));
  EXPECT_EQ(m.ParameterList.Find(3, 1)->P.sCaption, "Renamed");
}

}  // namespace
}  // namespace zeb7
