// ClsDriver: service control and the companion-driver sequence.
#include <gtest/gtest.h>

#include "common/sim_test.h"

#include <cstring>

#include "platform/sim/sim_machine.h"
#include "sysconfig/driver.h"
#include "ui/ui.h"

namespace tv {
namespace {

class DriverTest : public SimTest {
 protected:
  sim::Service* Scm(const std::string& name) { return m.FindService(name); }
  void AddService(const std::string& name, std::uint32_t state) {
    sim::Service s;
    s.name = name;
    s.state = state;
    m.state.services.push_back(s);
  }
};

TEST(CtlCode, ComposesTheFourParts) {
  struct Case {
    std::uint32_t device, function, method, access, code;
  };
  const Case cases[] = {{0x22, 0x360, 0, 0, 0x220D80},
                        {0x22, 0x800, 3, 0, 0x222003},
                        {0x12, 0, 3, 0, 0x120003},  // the transport query request
                        {0x9, 0x1, 2, 3, 0x9C006},
                        {0x22, 0xFFF, 0, 2, 0x22BFFC}};
  for (const Case& c : cases) {
    EXPECT_EQ(ClsDriver::CTL_CODE(c.device, c.function, c.method, c.access), c.code);
  }
  EXPECT_EQ(ClsDriver::CTL_CODE_GEN(0x360), 0x220D80u);
  EXPECT_EQ(ClsDriver::CTL_CODE_GEN(0), 0x220000u);
}

TEST_F(DriverTest, ServiceStateQueries) {
  AddService("Paused", 7);
  AddService("Hidden", 4);
  Scm("Hidden")->refuseOpen = true;
  ClsDriver d;
  d.szDrvSvcName = "paused";  // names are found whatever their letter case
  EXPECT_EQ(d.GetServiceStatus(), 7u);
  d.szDrvSvcName = "Hidden";
  EXPECT_EQ(d.GetServiceStatus(), 0u);
  d.szDrvSvcName = "Missing";
  EXPECT_EQ(d.GetServiceStatus(), 0u);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(DriverTest, SetServiceStatusByRequestAndState) {
  struct Case {
    std::uint32_t before;
    std::int32_t request;
    std::uint32_t result, after;
    bool deleted;
  };
  const Case cases[] = {
      {1, 0, 1, 4, false}, {4, 0, 0, 4, false}, {7, 0, 0, 7, false},  // start only a stopped one
      {4, 1, 1, 1, false}, {1, 1, 0, 1, false}, {7, 1, 0, 7, false},  // stop only a running one
      {4, 2, 1, 1, true},  {1, 2, 0, 1, true},                        // delete whatever the stop did
      {4, 5, 0, 4, false},                                            // unknown request
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.before << " " << c.request);
    m.state.services.clear();
    AddService("Svc", c.before);
    ClsDriver d;
    d.szDrvSvcName = "Svc";
    EXPECT_EQ(d.SetServiceStatus(c.request), c.result);
    sim::Service* s = Scm("Svc");
    if (c.deleted) {
      EXPECT_TRUE(s == nullptr || s->markedForDelete);
    } else {
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->state, c.after);
      EXPECT_FALSE(s->markedForDelete);
    }
  }
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(DriverTest, RefusedRequestsReportOnlyThroughTheResult) {
  AddService("Stubborn", 1);
  Scm("Stubborn")->refuseStart = true;
  ClsDriver d;
  d.szDrvSvcName = "Stubborn";
  EXPECT_EQ(d.SetServiceStatus(0), 0u);
  EXPECT_EQ(Scm("Stubborn")->state, 1u);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(DriverTest, UnopenableServiceShowsManageServiceError) {
  ClsDriver d;
  d.szDrvSvcName = "Nothing";
  EXPECT_EQ(d.SetServiceStatus(0), 0u);
  EXPECT_EQ(d.SetServiceStartType(2), 0u);
  ASSERT_EQ(recorder.messages.size(), 2u);
  for (const auto& msg : recorder.messages) {
    EXPECT_EQ(msg.text, "Manage service error");
    EXPECT_EQ(msg.title, "Tolvexa");
    EXPECT_EQ(msg.flags, ui::mb::IconExclamation);
  }
  AddService("There", 4);
  d.szDrvSvcName = "There";
  EXPECT_EQ(d.SetServiceStartType(4), 0u);
  EXPECT_EQ(recorder.messages.size(), 2u);
  EXPECT_EQ(Scm("There")->startType, 3u);
}

TEST_F(DriverTest, CompanionDriverSequence) {
  m.AddDevice("\\\\.\\tolvexa");
  ClsDriver d;
  d.szDrvSvcName = "tolvexa";
  d.szDrvDisplayName = "Tolvexa helper";
  d.szDrvFilePath = "C:\\WINDOWS\\system32\\drivers\\tolvexa.sys";
  d.szDrvLinkName = "\\\\.\\tolvexa";
  d.szDrvDescription = "Deletes locked files";
  EXPECT_EQ(d.DeviceHandle(), kInvalidHandle);
  EXPECT_EQ(d.ServiceHandle(), 0u);

  ASSERT_TRUE(d.InstDrv());
  sim::Service* s = Scm("tolvexa");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->type, 1u);
  EXPECT_EQ(s->startType, 3u);
  EXPECT_EQ(s->binaryPath, "C:\\WINDOWS\\system32\\drivers\\tolvexa.sys");
  EXPECT_EQ(s->displayName, "Tolvexa helper");
  EXPECT_EQ(s->description, "Deletes locked files");
  EXPECT_NE(d.ManagerHandle(), 0u);

  ASSERT_TRUE(d.StartDrv());
  EXPECT_EQ(Scm("tolvexa")->state, 4u);
  EXPECT_TRUE(d.StartDrv());  // already running
  const auto starts = m.CallCount("StartServiceA");
  EXPECT_EQ(starts, 1u);

  // OpenDrv opens the device once.
  ASSERT_TRUE(d.OpenDrv());
  const Handle device = d.DeviceHandle();
  ASSERT_TRUE(d.OpenDrv());
  EXPECT_EQ(d.DeviceHandle(), device);
  EXPECT_EQ(m.CallCount("CreateFileA"), 1u);

  const std::u16string path = u"\\??\\C:\\x.exe";
  const char16_t* address = path.c_str();
  std::uint32_t returned = 77;
  d.IoControl(kForceDeleteControlCode, &address, 4, nullptr, 1, &returned);
  ASSERT_EQ(m.state.devices[0].requests.size(), 1u);
  EXPECT_EQ(m.state.devices[0].requests[0].code, 0x220D80u);
  EXPECT_EQ(m.state.devices[0].requests[0].input.size(), 4u);

  EXPECT_TRUE(d.DelDrv());
  EXPECT_EQ(d.DeviceHandle(), kInvalidHandle);
  EXPECT_EQ(d.ServiceHandle(), 0u);
  EXPECT_EQ(d.ManagerHandle(), 0u);
  ASSERT_NE(Scm("tolvexa"), nullptr);  // the service stays installed
  EXPECT_EQ(Scm("tolvexa")->state, 1u);
  EXPECT_FALSE(Scm("tolvexa")->markedForDelete);
  EXPECT_EQ(m.OpenHandleCount(), 0u);

  // The instance can start over; the existing service is opened, not created again.
  ASSERT_TRUE(d.InstDrv());
  EXPECT_EQ(m.state.services.size(), 1u);
  d.DelDrv();
}

TEST_F(DriverTest, NothingInstalledMeansNothingReached) {
  ClsDriver d;
  d.szDrvLinkName = "\\\\.\\absent";
  EXPECT_FALSE(d.StartDrv());
  EXPECT_FALSE(d.StopDrv());
  EXPECT_FALSE(d.OpenDrv());
  EXPECT_EQ(d.DeviceHandle(), kInvalidHandle);
  std::uint32_t returned = 5;
  EXPECT_EQ(d.IoControl(kForceDeleteControlCode, nullptr, 0, nullptr, 0, &returned), 0u);
  EXPECT_EQ(returned, 0u);
  EXPECT_TRUE(d.DelDrv());
}

TEST_F(DriverTest, TwoProcessWideInstances) {
  EXPECT_NE(&ServiceTabDriver(), &CompanionDriver());
  EXPECT_EQ(&ServiceTabDriver(), &ServiceTabDriver());
  EXPECT_EQ(CompanionDriver().DeviceHandle(), kInvalidHandle);
}

}  // namespace
}  // namespace tv
