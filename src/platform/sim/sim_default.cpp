// The default simulated machine: the scenario scenarios/xp-sample.json, built in (regenerate with
// scenarios/embed_default.py; a test checks that the two agree).
#include "platform/sim/sim_machine.h"

namespace tv::sim {

namespace {
const char* const kDefaultScenario = R"json_text({
  "description": "Windows XP SP3 with a hidden process, a protected process, a hooked process, a raw-socket owner and a pipe whose name query never returns. This is also the default machine of the Linux build.",
  "version": {"major": 5, "minor": 1, "build": 2600, "platformId": 2, "csdVersion": "Service Pack 3"},
  "folders": {
    "windows": "C:\\WINDOWS",
    "system": "C:\\WINDOWS\\system32",
    "temp": "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\",
    "app": "C:\\Tools\\Tolvexa\\tolvexa.exe",
    "special": {
      "40": "C:\\Documents and Settings\\Admin",
      "16": "C:\\Documents and Settings\\Admin\\Desktop",
      "28": "C:\\Documents and Settings\\Admin\\Local Settings\\Application Data",
      "26": "C:\\Documents and Settings\\Admin\\Application Data",
      "7": "C:\\Documents and Settings\\Admin\\Start Menu\\Programs\\Startup",
      "24": "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup",
      "32": "C:\\Documents and Settings\\Admin\\Local Settings\\Temporary Internet Files",
      "34": "C:\\Documents and Settings\\Admin\\Local Settings\\History",
      "33": "C:\\Documents and Settings\\Admin\\Cookies",
      "8": "C:\\Documents and Settings\\Admin\\Recent",
      "38": "C:\\Program Files",
      "37": "C:\\WINDOWS\\system32"
    }
  },
  "environment": {
    "ProgramFiles": "C:\\Program Files",
    "USERPROFILE": "C:\\Documents and Settings\\Admin",
    "TEMP": "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp",
    "TMP": "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp",
    "ComSpec": "C:\\WINDOWS\\system32\\cmd.exe",
    "Path": "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\WINDOWS\\System32\\Wbem"
  },
  "dosDevices": {"C:": "\\Device\\HarddiskVolume1", "D:": "\\Device\\CdRom0"},
  "selfPid": 1000,

  "files": [
    {"path": "C:\\WINDOWS\\system32\\ntkrnlpa.exe", "attributes": "archive",
     "version": [{"lang": "040904b0", "strings": {
       "CompanyName": "Microsoft Corporation", "FileDescription": "NT Kernel & System",
       "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)", "LegalCopyright": "© Microsoft Corporation. All rights reserved.",
       "ProductName": "Microsoft® Windows® Operating System", "ProductVersion": "5.1.2600.5512"}}]},
    {"path": "C:\\WINDOWS\\system32\\hal.dll",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Hardware Abstraction Layer DLL",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\drivers\\tcpip.sys",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "TCP/IP Protocol Driver",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-0852)"}},
    {"path": "C:\\WINDOWS\\system32\\drivers\\dxgthk.sys",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "DirectX Graphics Driver Thunk",
                 "FileVersion": "5.1.2600.0 (XPClient.010817-1148)"}},
    {"path": "C:\\WINDOWS\\system32\\drivers\\rkhide.sys", "attributes": "hidden|system"},
    {"path": "C:\\WINDOWS\\system32\\smss.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Windows NT Session Manager",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\csrss.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Client Server Runtime Process",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\winlogon.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Windows NT Logon Application",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\services.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Services and Controller app",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\lsass.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "LSA Shell (Export Version)",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\svchost.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Generic Host Process for Win32 Services",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\spoolsv.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Spooler SubSystem App",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-0852)"}},
    {"path": "C:\\WINDOWS\\system32\\userinit.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Userinit Logon Application",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\ctfmon.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "CTF Loader",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2111)"}},
    {"path": "C:\\WINDOWS\\system32\\ntdll.dll",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "NT Layer DLL",
                 "FileVersion": "5.1.2600.5755 (xpsp_sp3_gdr.090206-1234)"}},
    {"path": "C:\\WINDOWS\\system32\\kernel32.dll",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Windows NT BASE API Client DLL",
                 "FileVersion": "5.1.2600.5781 (xpsp_sp3_gdr.090321-1317)"}},
    {"path": "C:\\WINDOWS\\system32\\user32.dll",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Windows XP USER API Client DLL",
                 "FileVersion": "5.1.2600.5512 (xpsp.080413-2105)"}},
    {"path": "C:\\WINDOWS\\system32\\msvbvm60.dll",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Visual Basic Virtual Machine",
                 "FileVersion": "6.00.9782"}},
    {"path": "C:\\WINDOWS\\system32\\comctl32.ocx",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Windows Common Controls ActiveX Control DLL",
                 "FileVersion": "6.00.8105"}},
    {"path": "C:\\WINDOWS\\explorer.exe",
     "version": [
       {"lang": "040904b0", "strings": {"CompanyName": "Microsoft Corporation", "FileDescription": "Windows Explorer",
                                        "FileVersion": "6.00.2900.5512 (xpsp.080413-2105)"}},
       {"lang": "080404b0", "strings": {"CompanyName": "Microsoft Corporation (zh-CN)", "FileDescription": "Windows 资源管理器",
                                        "FileVersion": "6.00.2900.5512"}}]},
    {"path": "C:\\WINDOWS\\system32\\drivers\\etc\\hosts", "contents": "127.0.0.1       localhost\r\n"},
    {"path": "C:\\WINDOWS\\Temp", "attributes": "directory"},
    {"path": "C:\\DOCUME~1\\Admin\\LOCALS~1\\Temp\\~DF1A2B.tmp", "contents": "junk"},
    {"path": "C:\\Program Files\\Internet Explorer\\iexplore.exe",
     "version": {"CompanyName": "Microsoft Corporation", "FileDescription": "Internet Explorer",
                 "FileVersion": "6.00.2900.5512 (xpsp.080413-2105)"}},
    {"path": "C:\\Program Files\\Acme\\acmebho.dll",
     "version": {"CompanyName": "Acme Toolbar Inc.", "FileDescription": "Acme Browser Helper", "FileVersion": "2.1.0.7"}},
    {"path": "C:\\Program Files\\Acme\\acmeupd.exe",
     "version": {"CompanyName": "Acme Toolbar Inc.", "FileDescription": "Acme Updater", "FileVersion": "2.1.0.7"}},
    {"path": "C:\\WINDOWS\\system32\\svch0st.exe", "attributes": "hidden|system", "contents": "MZ"},
    {"path": "C:\\Tools\\Tolvexa\\tolvexa.exe",
     "version": {"CompanyName": "Tolvexa", "FileDescription": "Tolvexa", "FileVersion": "1.0.0"}}
  ],

  "registry": [
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "values": {
      "AcmeUpdate": "\"C:\\Program Files\\Acme\\acmeupd.exe\" /background",
      "svchost": "C:\\WINDOWS\\system32\\svch0st.exe"}},
    {"key": "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "values": {
      "ctfmon.exe": "C:\\WINDOWS\\system32\\ctfmon.exe"}},
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "values": {
      "Shell": "Explorer.exe",
      "Userinit": "C:\\WINDOWS\\system32\\userinit.exe,",
      "System": ""}},
    {"key": "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "values": [
      {"name": "BootExecute", "type": "REG_MULTI_SZ", "data": ["autocheck autochk *"]}]},
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\Your Image File Name Here without a path"},
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\taskmgr.exe", "values": {
      "Debugger": "C:\\WINDOWS\\system32\\svch0st.exe"}},
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "values": {
      "AppInit_DLLs": ""}},
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", "values": {
      "WebCheck": "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}"}},
    {"key": "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\{A1B2C3D4-0000-1111-2222-333344445555}"},
    {"key": "HKEY_CLASSES_ROOT\\CLSID\\{A1B2C3D4-0000-1111-2222-333344445555}", "values": {"": "Acme Helper"}},
    {"key": "HKEY_CLASSES_ROOT\\CLSID\\{A1B2C3D4-0000-1111-2222-333344445555}\\InprocServer32", "values": {
      "": "C:\\Program Files\\Acme\\acmebho.dll", "ThreadingModel": "Apartment"}},
    {"key": "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "values": {
      "NoDriveTypeAutoRun": 145}}
  ],

  "processes": [
    {"pid": 0, "exeName": "[System Process]", "modules": [], "threads": []},
    {"pid": 4, "exeName": "System", "modules": [],
     "threads": [{"tid": 8, "startAddress": "0x805D1142"}, {"tid": 12, "startAddress": "0x80540C62", "exitStatus": 259}]},
    {"pid": 368, "parentPid": 4, "imagePath": "\\SystemRoot\\System32\\smss.exe",
     "modules": [{"path": "\\SystemRoot\\System32\\smss.exe", "base": "0x48580000", "size": "0xF000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"}],
     "threads": [{"tid": 372, "startAddress": "0x4858A5B4"}]},
    {"pid": 596, "parentPid": 368, "imagePath": "\\??\\C:\\WINDOWS\\system32\\csrss.exe", "protection": "denyDocumented",
     "modules": [{"path": "\\??\\C:\\WINDOWS\\system32\\csrss.exe", "base": "0x4A680000", "size": "0x5000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"}],
     "threads": [{"tid": 600}, {"tid": 604}]},
    {"pid": 620, "parentPid": 368, "imagePath": "\\??\\C:\\WINDOWS\\system32\\winlogon.exe",
     "modules": [{"path": "\\??\\C:\\WINDOWS\\system32\\winlogon.exe", "base": "0x01000000", "size": "0x80000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"},
                 {"path": "C:\\WINDOWS\\system32\\kernel32.dll", "base": "0x7C800000", "size": "0xF6000"}],
     "threads": [{"tid": 624}]},
    {"pid": 664, "parentPid": 620, "imagePath": "C:\\WINDOWS\\system32\\services.exe",
     "modules": [{"path": "C:\\WINDOWS\\system32\\services.exe", "base": "0x01000000", "size": "0x1C000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"},
                 {"path": "C:\\WINDOWS\\system32\\kernel32.dll", "base": "0x7C800000", "size": "0xF6000"}]},
    {"pid": 676, "parentPid": 620, "imagePath": "C:\\WINDOWS\\system32\\lsass.exe", "protection": "denyAll"},
    {"pid": 840, "parentPid": 664, "imagePath": "C:\\WINDOWS\\system32\\svchost.exe",
     "modules": [{"path": "C:\\WINDOWS\\system32\\svchost.exe", "base": "0x01000000", "size": "0x6000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"},
                 {"path": "C:\\WINDOWS\\system32\\kernel32.dll", "base": "0x7C800000", "size": "0xF6000"}],
     "threads": [{"tid": 844}, {"tid": 848, "exitStatus": 0, "alive": false}]},
    {"pid": 1200, "parentPid": 664, "imagePath": "C:\\WINDOWS\\system32\\spoolsv.exe"},
    {"pid": 1480, "parentPid": 1460, "imagePath": "C:\\WINDOWS\\explorer.exe",
     "modules": [{"path": "C:\\WINDOWS\\explorer.exe", "base": "0x01000000", "size": "0xFF000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"},
                 {"path": "C:\\WINDOWS\\system32\\kernel32.dll", "base": "0x7C800000", "size": "0xF6000"},
                 {"path": "C:\\WINDOWS\\system32\\user32.dll", "base": "0x7E410000", "size": "0x91000"},
                 {"path": "C:\\Program Files\\Acme\\acmebho.dll", "base": "0x10000000", "size": "0x24000"}],
     "threads": [{"tid": 1484}, {"tid": 1496}]},
    {"pid": 1528, "parentPid": 1480, "imagePath": "C:\\WINDOWS\\system32\\ctfmon.exe"},
    {"pid": 1604, "parentPid": 1480, "imagePath": "C:\\Program Files\\Acme\\acmeupd.exe",
     "resistTerminateProcess": true, "resistNtTerminate": true},
    {"pid": 1744, "parentPid": 664, "imagePath": "C:\\WINDOWS\\system32\\svch0st.exe", "hiddenFromToolhelp": true,
     "resistTerminateProcess": true},
    {"pid": 1800, "parentPid": 1480, "imagePath": "C:\\Program Files\\Internet Explorer\\iexplore.exe",
     "modules": [{"path": "C:\\Program Files\\Internet Explorer\\iexplore.exe", "base": "0x00400000", "size": "0x19000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"},
                 {"path": "C:\\WINDOWS\\system32\\kernel32.dll", "base": "0x7C800000", "size": "0xF6000"},
                 {"path": "C:\\Program Files\\Acme\\acmebho.dll", "base": "0x10000000", "size": "0x24000"}]},
    {"pid": 1000, "parentPid": 1480, "imagePath": "C:\\Tools\\Tolvexa\\tolvexa.exe",
     "modules": [{"path": "C:\\Tools\\Tolvexa\\tolvexa.exe", "base": "0x00400000", "size": "0x80000"},
                 {"path": "C:\\WINDOWS\\system32\\ntdll.dll", "base": "0x7C900000", "size": "0xAF000"},
                 {"path": "C:\\WINDOWS\\system32\\kernel32.dll", "base": "0x7C800000", "size": "0xF6000"},
                 {"path": "C:\\WINDOWS\\system32\\msvbvm60.dll", "base": "0x66000000", "size": "0x153000"}],
     "threads": [{"tid": 1004, "startAddress": "0x00401000"}]}
  ],

  "handles": [
    {"ownerPid": 596, "value": "0x2A0", "type": "process", "targetPid": 664},
    {"ownerPid": 596, "value": "0x2B4", "type": "process", "targetPid": 676},
    {"ownerPid": 596, "value": "0x2C8", "type": "process", "targetPid": 840},
    {"ownerPid": 596, "value": "0x3D0", "type": "process", "targetPid": 1744},
    {"ownerPid": 664, "value": "0x120", "type": "process", "targetPid": 840},
    {"ownerPid": 1744, "value": "0x44", "type": "file", "objectName": "\\Device\\HarddiskVolume1\\WINDOWS\\system32\\svch0st.exe", "shareMode": 1},
    {"ownerPid": 840, "value": "0x1F8", "type": "file", "objectName": "\\Device\\NamedPipe\\ntsvcs", "nameQueryBlocks": true},
    {"ownerPid": 1480, "value": "0x3C", "type": "file", "objectName": "\\Device\\HarddiskVolume1\\Documents and Settings\\Admin"}
  ],

  "windows": [
    {"hwnd": "0x10010", "ownerPid": 1480, "className": "Shell_TrayWnd", "title": "", "closeEndsProcess": false},
    {"hwnd": "0x10020", "ownerPid": 1604, "className": "AcmeUpdWnd", "title": "Acme Update"},
    {"hwnd": "0x10024", "parent": "0x10020", "ownerPid": 1604, "className": "Button", "title": "OK"},
    {"hwnd": "0x10030", "ownerPid": 1800, "className": "IEFrame", "title": "about:blank - Microsoft Internet Explorer"},
    {"hwnd": "0x10040", "ownerPid": 1480, "className": "Progman", "title": "Program Manager", "closeEndsProcess": false}
  ],

  "kernelModules": [
    {"path": "\\WINDOWS\\system32\\ntkrnlpa.exe", "base": "0x804D7000", "size": "0x1F8000"},
    {"path": "\\WINDOWS\\system32\\hal.dll", "base": "0x806CF000", "size": "0x20300"},
    {"path": "\\SystemRoot\\System32\\DRIVERS\\tcpip.sys", "base": "0xF7A0B000", "size": "0x58000"},
    {"path": "dxgthk.sys", "base": "0xF7BF7000", "size": "0x1000"},
    {"path": "\\??\\C:\\WINDOWS\\system32\\drivers\\rkhide.sys", "base": "0xF8A11000", "size": "0x3000"}
  ],

  "services": [
    {"name": "Tcpip", "type": 1, "state": 4, "startType": 1, "binaryPath": "system32\\DRIVERS\\tcpip.sys",
     "displayName": "TCP/IP Protocol Driver", "group": "PNP_TDI"},
    {"name": "Eventlog", "type": 32, "state": 4, "startType": 2, "binaryPath": "%SystemRoot%\\system32\\services.exe",
     "displayName": "Event Log", "description": "Enables event log messages issued by Windows-based programs and components to be viewed in Event Viewer.",
     "group": "Event log", "refuseStop": true},
    {"name": "Schedule", "type": 32, "state": 4, "startType": 2,
     "binaryPath": "%SystemRoot%\\System32\\svchost.exe -k netsvcs", "displayName": "Task Scheduler",
     "group": "SchedulerGroup"},
    {"name": "Spooler", "type": 272, "state": 4, "startType": 2, "binaryPath": "%SystemRoot%\\system32\\spoolsv.exe",
     "displayName": "Print Spooler", "group": "SpoolerGroup"},
    {"name": "Messenger", "type": 32, "state": 1, "startType": 4,
     "binaryPath": "%SystemRoot%\\System32\\svchost.exe -k netsvcs", "displayName": "Messenger"},
    {"name": "Themes", "type": 32, "state": 7, "startType": 2,
     "binaryPath": "%SystemRoot%\\System32\\svchost.exe -k netsvcs", "displayName": "Themes"},
    {"name": "rkhide", "type": 1, "state": 4, "startType": 0,
     "binaryPath": "\\??\\C:\\WINDOWS\\system32\\drivers\\rkhide.sys", "registry": true, "scm": false},
    {"name": "Null", "type": 1, "state": 4, "startType": 1, "displayName": "Null"}
  ],

  "tcp": [
    {"state": 2, "localAddr": "0.0.0.0", "localPort": 135, "pid": 840},
    {"state": 2, "localAddr": "0.0.0.0", "localPort": 445, "pid": 4},
    {"state": 2, "localAddr": "127.0.0.1", "localPort": 1031, "remotePort": 2345, "pid": 1744},
    {"state": 5, "localAddr": "192.168.1.20", "localPort": 1042, "remoteAddr": "93.184.216.34", "remotePort": 80, "pid": 1800}
  ],
  "udp": [
    {"localAddr": "0.0.0.0", "localPort": 445, "pid": 4},
    {"localAddr": "0.0.0.0", "localPort": 500, "pid": 676},
    {"localAddr": "127.0.0.1", "localPort": 1900, "pid": 840}
  ],
  "rawOwners": [1744],

  "signatures": {
    "C:\\WINDOWS\\explorer.exe": 0,
    "C:\\WINDOWS\\system32\\svchost.exe": 0,
    "C:\\Program Files\\Acme\\acmebho.dll": -2146762748
  }
}
)json_text";
}  // namespace

std::unique_ptr<SimMachine> DefaultMachine() { return LoadScenarioText(kDefaultScenario); }

}  // namespace tv::sim
