// The English and Chinese text tables.
#include "ui/text_tables.h"

#include <string>

namespace tv {

namespace {
struct Tables {
  std::string language = "Default";
  std::array<std::string, 24> main;
  std::array<std::string, 32> column;
  std::array<std::string, 21> scan;
  std::array<std::string, 3> memoryScanColumn;
  std::array<std::string, 4> smartScanColumn;
  std::array<std::string, 13> message;
  std::array<std::string, 8> address;
  std::array<std::string, 5> about;
  std::array<std::string, 7> trayMenu;
  std::array<std::string, 11> processMenu;
  std::array<std::string, 3> registryMenu;
  std::array<std::string, 1> kernelMenu;
  std::array<std::string, 8> serviceMenu;
  std::array<std::string, 9> scanMenu;
  std::array<std::string, 19> mainButton;
  std::array<std::string, 5> scanButton;
  std::string uiFont;
};

Tables& T() {
  static Tables t;
  return t;
}

template <std::size_t N>
void Fill(std::array<std::string, N>& table, std::initializer_list<const char*> texts) {
  std::size_t i = 0;
  for (const char* s : texts) {
    if (i >= N) break;
    table[i++] = s;
  }
}

std::string VersionText() {
  return std::to_string(kAppMajor) + "." + std::to_string(kAppMinor) + "." + std::to_string(kAppRevision);
}
}  // namespace

std::string& Language() { return T().language; }
std::array<std::string, 24>& MainText() { return T().main; }
std::array<std::string, 32>& ColumnText() { return T().column; }
std::array<std::string, 21>& ScanText() { return T().scan; }
std::array<std::string, 3>& MemoryScanColumnText() { return T().memoryScanColumn; }
std::array<std::string, 4>& SmartScanColumnText() { return T().smartScanColumn; }
std::array<std::string, 13>& MessageText() { return T().message; }
std::array<std::string, 8>& AddressText() { return T().address; }
std::array<std::string, 5>& AboutText() { return T().about; }
std::array<std::string, 7>& TrayMenuText() { return T().trayMenu; }
std::array<std::string, 11>& ProcessMenuText() { return T().processMenu; }
std::array<std::string, 3>& RegistryMenuText() { return T().registryMenu; }
std::array<std::string, 1>& KernelMenuText() { return T().kernelMenu; }
std::array<std::string, 8>& ServiceMenuText() { return T().serviceMenu; }
std::array<std::string, 9>& ScanMenuText() { return T().scanMenu; }
std::array<std::string, 19>& MainButtonText() { return T().mainButton; }
std::array<std::string, 5>& ScanButtonText() { return T().scanButton; }
std::string& UiFontName() { return T().uiFont; }

void ClearTextTables() {
  std::string language = T().language;
  T() = Tables{};
  T().language = language;
}

void LoadEnglishText() {
  ClearTextTables();
  Tables& t = T();

  t.main[0] = "Tolvexa  (Professional Edition)";
  const char* status[] = {"Yes",     "No",        "Automatic",        "Manual",      "Disabled",
                          "Started", "Stopped",   "Process: ",        "Hidden Process: ",
                          "CPU Usage: ", "Memory Usage: "};
  for (std::size_t i = 0; i < std::size(status); ++i) t.main[13 + i] = status[i];

  Fill(t.column, {"ImageName", "PID", "Rootkit", "PathName", "Company", "Description", "Version",
                  "Group", "Name", "Value",
                  "Nmae", "Value", "Publisher",
                  "Protocol", "Local IP", "Local Port", "Remote IP", "Remote Port", "Status", "PID", "PathName",
                  "Name", "DisplayName", "Status", "Type", "StartupType", "ImagePath", "Description", "Group",
                  "Company", "Company Info", "Version"});

  Fill(t.scan, {"Scanning: ", "Scanned:", "Found Threat: ", "Started Time: ", "End Time: ",
                "Initializing...", "Scan Memory completed", "Smart Scan completed", "Scanning...",
                "Tolvexa (Scan Memory)", "Tolvexa (Smart Scan)", "Normal", "Unknown", "Potential",
                "Dangerous", "Not Proceesed", "Clean", "Clean Failed",
                "Are you sure to clean all? Some useful files will be deleted also.\r\n"
                "We advise you to clean dangerous and potential items first"});

  Fill(t.memoryScanColumn, {"Object", "Action", "Result"});
  Fill(t.smartScanColumn, {"Object", "Risk Level", "Result", "Location"});
  t.message[3] = "Warning!";
  t.address[0] = "http://www.tolvexa.com/";
  t.about[0] = "About Tolvexa";
  t.about[1] = "Tolvexa , Ver " + VersionText() +
               " , Professional Edition\r\n\r\nA powerful PC diagnostic tool\r\n\r\n";
  t.about[2] = "Build " + std::to_string(kAppRevision);
}

void LoadChineseText() {
  ClearTextTables();
  Tables& t = T();

  Fill(t.main, {"Tolvexa  (专业版)",
                "快速开始", "高级功能",
                "正在初始化...", "就绪",
                "提升权限 -- 成功。", "提升权限 -- 失败。",
                "加载资源 -- 成功。", "加载资源 -- 失败。",
                "加载驱动 -- 成功。", "加载驱动 -- 失败。",
                "初始化 -- 成功。", "初始化 -- 失败。有些功能将无法正常使用！",
                "是", "否", "自动", "手动", "已禁用", "已启动", "已停止",
                "进程： ", "隐藏进程： ", "CPU使用率： ", "内存使用率： "});

  Fill(t.column, {"进程名", "PID", "隐藏", "路径", "公司", "描述", "版本",
                  "组", "名称", "值",
                  "名称", "值", "发行者",
                  "协议", "本地IP", "本地端口", "远程IP", "远程端口", "状态", "PID", "所在进程",
                  "名称", "显示名称", "状态", "类型", "启动类型", "映像路径", "描述", "组",
                  "公司", "公司信息", "版本"});

  Fill(t.scan, {"正在扫描：", "已扫描：", "发现威胁：", "开始时间：", "结束时间：",
                "正在初始化...", "内存扫描完成", "智能扫描完成", "正在扫描...",
                "Tolvexa (内存扫描)", "Tolvexa (智能扫描)", "正常", "未知", "可疑的",
                "危险的", "未处理", "清除", "清除失败",
                "确定要全部清除吗？一些有用的文件也会被删除。\r\n"
                "建议您先清除危险的和可疑的项目"});

  Fill(t.memoryScanColumn, {"对象", "操作", "结果"});
  Fill(t.smartScanColumn, {"对象", "风险等级", "结果", "位置"});
  t.message[3] = "警告！";
  t.address[0] = "http://www.tolvexa.cn/";
  Fill(t.about, {"关于 Tolvexa", "", "", "官方网站：", "技术支持："});
  t.about[1] = "Tolvexa , 版本 " + VersionText() + " , 专业版\r\n\r\n一款强大的电脑诊断工具\r\n\r\n";
  t.about[2] = "编译 " + std::to_string(kAppRevision);

  Fill(t.trayMenu, {"进程管理器", "启动项管理器", "快速清理垃圾文件", "打开 Tolvexa", "关于 Tolvexa",
                    "访问主页", "退出"});
  Fill(t.processMenu, {"刷新进程列表                F5", "强制枚举进程", "打开文件位置", "文件属性",
                       "新建任务", "查看模块", "查看线程", "查找模块", "结束任务", "结束进程",
                       "删除进程文件"});
  Fill(t.registryMenu, {"刷新", "删除值", "删除/修复值"});
  Fill(t.kernelMenu, {"刷新"});
  Fill(t.serviceMenu, {"显示全部", "管理服务", "显示运行中的服务", "管理驱动", "显示运行中的驱动",
                       "启动服务", "停止服务", "删除服务"});
  Fill(t.scanMenu, {"清除所有危险项目", "仅清除危险的项目", "仅清除可疑的项目", "清除所选项目", "全部清除",
                    "忽略所有", "全部添加至信任列表", "添加正常项目至信任列表", "添加所选项目至信任列表"});
  Fill(t.mainButton, {"快速开始", "智能扫描",
                      "进程", "内核模块", "启动项", "BHO", "端口", "服务", "注册表",
                      "启动项管理", "进程管理", "清理垃圾文件", "修复注册表",
                      "系统服务管理", "文件粉碎", "生成报告", "关于",
                      "设置"});
  Fill(t.scanButton, {"扫描(&S)", "停止(&T)", "关闭(&C)", "处理(&P)", "信任文件列表(&L)"});
  t.uiFont = "宋体";
}

void LoadTextTables() {
  if (Language() == "Default")
    LoadEnglishText();
  else
    LoadChineseText();
}

}  // namespace tv
