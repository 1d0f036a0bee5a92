// The English and Chinese text tables.
#include <gtest/gtest.h>

#include <string>

#include "ui/text_tables.h"

namespace tv {
namespace {

template <std::size_t N>
int Filled(const std::array<std::string, N>& t) {
  int n = 0;
  for (const auto& s : t) n += !s.empty();
  return n;
}

class TextTablesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Language() = "Default";
    LoadTextTables();
  }
};

TEST_F(TextTablesTest, DefaultLanguageLoadsEnglishAndLeavesCaptionTablesEmpty) {
  LoadChineseText();  // whatever was there before
  Language() = "Default";
  LoadTextTables();

  EXPECT_EQ(MainText()[0], "Tolvexa  (Professional Edition)");
  for (int i = 1; i <= 12; ++i) EXPECT_EQ(MainText()[i], "") << i;
  EXPECT_EQ(MainText()[13], "Yes");
  EXPECT_EQ(MainText()[19], "Stopped");
  EXPECT_EQ(MainText()[21], "Hidden Process: ");
  EXPECT_EQ(MainText()[23], "Memory Usage: ");

  EXPECT_EQ(Filled(ColumnText()), 32);
  EXPECT_EQ(ColumnText()[10], "Nmae");
  EXPECT_EQ(ColumnText()[20], "PathName");
  EXPECT_EQ(ColumnText()[30], "Company Info");
  EXPECT_EQ(ColumnText()[31], "Version");

  EXPECT_EQ(ScanText()[15], "Not Proceesed");
  EXPECT_EQ(ScanText()[18],
            "Are you sure to clean all? Some useful files will be deleted also.\r\n"
            "We advise you to clean dangerous and potential items first");
  EXPECT_EQ(ScanText()[19], "");
  EXPECT_EQ(ScanText()[20], "");
  EXPECT_EQ(SmartScanColumnText()[1], "Risk Level");
  EXPECT_EQ(MemoryScanColumnText()[2], "Result");
  EXPECT_EQ(MessageText()[3], "Warning!");
  EXPECT_EQ(Filled(MessageText()), 1);
  EXPECT_FALSE(AddressText()[0].empty());
  EXPECT_EQ(AboutText()[0], "About Tolvexa");
  EXPECT_EQ(AboutText()[1].rfind("Tolvexa , Ver 1.0.0 , Professional Edition\r\n\r\n", 0), 0u);
  EXPECT_EQ(AboutText()[3], "");

  EXPECT_EQ(Filled(TrayMenuText()) + Filled(ProcessMenuText()) + Filled(RegistryMenuText()) +
                Filled(KernelMenuText()) + Filled(ServiceMenuText()) + Filled(ScanMenuText()) +
                Filled(MainButtonText()) + Filled(ScanButtonText()),
            0);
  EXPECT_EQ(UiFontName(), "");
}

TEST_F(TextTablesTest, OtherLanguageLoadsChineseIntoEveryTable) {
  Language() = "Chinese";
  LoadTextTables();

  EXPECT_EQ(MainText()[0], "Tolvexa  (专业版)");
  EXPECT_EQ(MainText()[5], "提升权限 -- 成功。");
  EXPECT_EQ(MainText()[12], "初始化 -- 失败。有些功能将无法正常使用！");
  EXPECT_EQ(MainText()[13], "是");
  EXPECT_EQ(MainText()[14], "否");
  EXPECT_EQ(MainText()[20], "进程： ");
  EXPECT_EQ(MainText()[22], "CPU使用率： ");
  EXPECT_EQ(Filled(MainText()), 24);
  EXPECT_EQ(ColumnText()[0], "进程名");
  EXPECT_EQ(ColumnText()[13], "协议");
  EXPECT_EQ(ColumnText()[20], "所在进程");
  EXPECT_EQ(Filled(ColumnText()), 32);
  EXPECT_EQ(ScanText()[0], "正在扫描：");
  EXPECT_EQ(ScanText()[14], "危险的");
  EXPECT_EQ(Filled(ScanText()), 19);
  EXPECT_EQ(MessageText()[3], "警告！");
  EXPECT_EQ(AboutText()[3], "官方网站：");
  EXPECT_EQ(AboutText()[4], "技术支持：");
  EXPECT_NE(AddressText()[0], "");

  EXPECT_EQ(TrayMenuText()[6], "退出");
  EXPECT_EQ(ProcessMenuText()[0], "刷新进程列表                F5");
  EXPECT_EQ(ScanMenuText()[0], "清除所有危险项目");
  EXPECT_EQ(ScanMenuText()[5], "忽略所有");
  EXPECT_EQ(ScanMenuText()[8], "添加所选项目至信任列表");
  EXPECT_EQ(MainButtonText()[0], "快速开始");
  EXPECT_EQ(MainButtonText()[14], "文件粉碎");
  EXPECT_EQ(ScanButtonText()[0], "扫描(&S)");
  EXPECT_EQ(UiFontName(), "宋体");
  // Every caption the windows take from the tables is there.
  EXPECT_EQ(Filled(TrayMenuText()), 7);
  EXPECT_EQ(Filled(ProcessMenuText()), 11);
  EXPECT_EQ(Filled(RegistryMenuText()), 3);
  EXPECT_EQ(Filled(KernelMenuText()), 1);
  EXPECT_EQ(Filled(ServiceMenuText()), 8);
  EXPECT_EQ(Filled(ScanMenuText()), 9);
  EXPECT_EQ(Filled(MainButtonText()), 18);
  EXPECT_EQ(Filled(ScanButtonText()), 5);
  EXPECT_EQ(Filled(SmartScanColumnText()), 4);
  EXPECT_EQ(Filled(MemoryScanColumnText()), 3);

  // Loading English afterwards leaves no Chinese caption behind.
  Language() = "Default";
  LoadTextTables();
  EXPECT_EQ(MainText()[5], "");
  EXPECT_EQ(TrayMenuText()[6], "");
  EXPECT_EQ(UiFontName(), "");
}

}  // namespace
}  // namespace tv
