<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
    <context>
        <name>AccountCommands</name>
        <message>
            <source>网络可能不通,请捡查网络是否正常。</source>
            <translation>The network may be down, please check that it works.</translation>
        </message>
        <message>
            <source>发生未知错误,请偿试重新提交。</source>
            <translation>An unknown error occurred, please try submitting again.</translation>
        </message>
        <message>
            <source>服务异常,请偿试重新登录。</source>
            <translation>The service failed, please try logging in again.</translation>
        </message>
    </context>
    <context>
        <name>DataList</name>
        <message>
            <source>数据流</source>
            <translation>Data stream</translation>
        </message>
        <message>
            <source>名称</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>序号</source>
            <translation>No.</translation>
        </message>
        <message>
            <source>返回</source>
            <translation>Back</translation>
        </message>
        <message>
            <source>确认</source>
            <translation>Confirm</translation>
        </message>
        <message>
            <source>参考</source>
            <translation>Reference</translation>
        </message>
        <message>
            <source>数值</source>
            <translation>Value</translation>
        </message>
        <message>
            <source>单位</source>
            <translation>Unit</translation>
        </message>
        <message>
            <source>正在读取记录 %1……%2%</source>
            <translation>Reading the record %1… %2%</translation>
        </message>
    </context>
    <context>
        <name>DataManage</name>
        <message>
            <source>数据管理</source>
            <translation>Data management</translation>
        </message>
        <message>
            <source>名称</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>内容类型</source>
            <translation>Content type</translation>
        </message>
        <message>
            <source>大小</source>
            <translation>Size</translation>
        </message>
        <message>
            <source>选项</source>
            <translation>Options</translation>
        </message>
        <message>
            <source>删除</source>
            <translation>Delete</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>无法打开记录 %1，它可能已被删除或设备已拔出。</source>
            <translation>The record %1 could not be opened; it may have been deleted, or the device was unplugged.</translation>
        </message>
        <message>
            <source>记录 %1 太大，只读取了前 %L2 帧；文件其余的 %3 没有读取。</source>
            <translation>The record %1 is too large: only its first %L2 frames were read; the remaining %3 of the file were not read.</translation>
        </message>
        <message>
            <source>记录 %1 是空的或不完整，没有可显示的内容。</source>
            <translation>The record %1 is empty or incomplete; there is nothing to show.</translation>
        </message>
    </context>
    <context>
        <name>DeviceDisks</name>
        <message>
            <source>文件系统</source>
            <translation>FileSystem</translation>
        </message>
        <message>
            <source>总空间</source>
            <translation>Total Size</translation>
        </message>
        <message>
            <source>可用空间</source>
            <translation>Available space</translation>
        </message>
    </context>
    <context>
        <name>KXButtonDelegate</name>
        <message>
            <source>下载</source>
            <translation>Download</translation>
        </message>
        <message>
            <source>报告</source>
            <translation>Report</translation>
        </message>
    </context>
    <context>
        <name>KXProgressBarDelegate</name>
        <message>
            <source>%1%</source>
            <translation>%1%</translation>
        </message>
        <message>
            <source>%1</source>
            <translation>%1</translation>
        </message>
    </context>
    <context>
        <name>MainInstall</name>
        <message>
            <source>正在升级固件，请稍候...</source>
            <translation>Upgrading, please wait...</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>固件升级</source>
            <translation>Firmware upgrade</translation>
        </message>
    </context>
    <context>
        <name>MainWindow</name>
        <message>
            <source>KX410升级助手</source>
            <translation>KX410 Update Assist</translation>
        </message>
        <message>
            <source>代理设置</source>
            <translation>Proxy settings</translation>
        </message>
        <message>
            <source>最小化</source>
            <translation>Minimize</translation>
        </message>
        <message>
            <source>最大化</source>
            <translation>Maximize</translation>
        </message>
        <message>
            <source>关闭</source>
            <translation>Close</translation>
        </message>
        <message>
            <source>名称</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>本地版本</source>
            <translation>Local version</translation>
        </message>
        <message>
            <source>服务器版本</source>
            <translation>Server version</translation>
        </message>
        <message>
            <source>大小</source>
            <translation>Size</translation>
        </message>
        <message>
            <source>进度</source>
            <translation>Progress</translation>
        </message>
        <message>
            <source>操作</source>
            <translation>Operate</translation>
        </message>
        <message>
            <source>全选</source>
            <translation>Select all</translation>
        </message>
        <message>
            <source>一键下载</source>
            <translation>One-click download</translation>
        </message>
        <message>
            <source>软件名称</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>版本号</source>
            <translation>Version</translation>
        </message>
        <message>
            <source>安装位置</source>
            <translation>Path</translation>
        </message>
        <message>
            <source>卸载</source>
            <translation>Uninstall</translation>
        </message>
        <message>
            <source>下载</source>
            <translation>Download</translation>
        </message>
        <message>
            <source>数据</source>
            <translation>Data</translation>
        </message>
        <message>
            <source>手册</source>
            <translation>Manual</translation>
        </message>
        <message>
            <source>设置</source>
            <translation>Setting</translation>
        </message>
        <message>
            <source>正在升级GD32...</source>
            <translation>GD32 Upgrading, please wait...</translation>
        </message>
        <message>
            <source>正在升级固件，请稍候...</source>
            <translation>Upgrading, please wait...</translation>
        </message>
        <message>
            <source>主程序</source>
            <translation>Main program</translation>
        </message>
        <message>
            <source>磁盘</source>
            <translation>Disk</translation>
        </message>
        <message>
            <source>可用</source>
            <translation>Available</translation>
        </message>
        <message>
            <source>设备已连接</source>
            <translation>Device connected</translation>
        </message>
        <message>
            <source>设备未连接</source>
            <translation>No device connected</translation>
        </message>
        <message>
            <source>等待下载</source>
            <translation>Waiting for Download</translation>
        </message>
        <message>
            <source>正在下载</source>
            <translation>Downloading</translation>
        </message>
        <message>
            <source>无需更新</source>
            <translation>No update required</translation>
        </message>
        <message>
            <source>部分下载失败</source>
            <translation>Some downloads failed</translation>
        </message>
        <message>
            <source>下载失败</source>
            <translation>Download failed</translation>
        </message>
        <message>
            <source>下载成功</source>
            <translation>Successful</translation>
        </message>
        <message>
            <source>获取数据异常</source>
            <translation>Unauthorized</translation>
        </message>
        <message>
            <source>dash</source>
            <translation>Dashboard</translation>
        </message>
        <message>
            <source>immo</source>
            <translation>Immobilizer</translation>
        </message>
        <message>
            <source>请等候...</source>
            <translation>Please wait...</translation>
        </message>
        <message>
            <source>获取升级信息失败,请检查网络是否正常!</source>
            <translation>Failed to obtain the upgrade information, please check whether the network is normal!</translation>
        </message>
        <message>
            <source>获取升级信息失败!</source>
            <translation>Failed to obtain the upgrade information!</translation>
        </message>
        <message>
            <source>固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。</source>
            <translation>The firmware upgrade did not finish: the device stopped answering or was disconnected. Reconnect the device and upgrade again.</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>请先勾选要卸载的软件。</source>
            <translation>Please tick the software to uninstall first.</translation>
        </message>
        <message>
            <source>确定要卸载选中的 %1 个软件吗？</source>
            <translation>Uninstall the %1 selected software packages?</translation>
        </message>
        <message>
            <source>设备已更换，未卸载任何软件。</source>
            <translation>The device has changed; nothing was uninstalled.</translation>
        </message>
        <message>
            <source>已卸载 %1 个软件：</source>
            <translation>Uninstalled %1 software packages:</translation>
        </message>
        <message>
            <source>以下 %1 个软件未能完全删除，请检查设备磁盘是否可写：</source>
            <translation>%1 software packages could not be removed completely; please check that the device disk is writable:</translation>
        </message>
        <message>
            <source>取消下载</source>
            <translation>Cancel download</translation>
        </message>
        <message>
            <source>已登录：%1</source>
            <translation>Signed in: %1</translation>
        </message>
        <message>
            <source>用户</source>
            <translation>user</translation>
        </message>
        <message>
            <source>未登录</source>
            <translation>Not signed in</translation>
        </message>
        <message>
            <source>退出登录</source>
            <translation>Sign out</translation>
        </message>
        <message>
            <source>登录</source>
            <translation>Sign in</translation>
        </message>
        <message>
            <source>没有检测到设备。请用 USB 连接设备并开机。</source>
            <translation>No device found. Connect the device by USB and switch it on.</translation>
        </message>
        <message>
            <source>尚未登录，无法获取升级信息。请先登录，然后点击“下载”刷新列表。</source>
            <translation>Not signed in, so no update information can be fetched. Sign in, then click "Download" to refresh the list.</translation>
        </message>
        <message>
            <source>设备上的软件都是最新版本，无需更新。</source>
            <translation>The software on the device is up to date; nothing needs updating.</translation>
        </message>
        <message>
            <source>没有取得升级信息。请检查网络，然后点击“下载”刷新列表。</source>
            <translation>No update information was received. Check the network, then click "Download" to refresh the list.</translation>
        </message>
        <message>
            <source>%1（%2 个文件）</source>
            <translation>%1 (%2 files)</translation>
        </message>
        <message>
            <source>固件已写入设备。</source>
            <translation>The firmware has been written to the device.</translation>
        </message>
        <message>
            <source>固件已写入设备，设备现在的版本：%1。</source>
            <translation>The firmware has been written to the device; the device now reports version %1.</translation>
        </message>
        <message>
            <source>设备已在运行这个固件，无需写入。</source>
            <translation>The device already runs this firmware; nothing was written.</translation>
        </message>
        <message>
            <source>固件没有写入设备：找不到设备的串口。请确认设备已通过 USB 连接并已开机、串口没有被其他程序占用，然后刷新列表，再次下载主程序。</source>
            <translation>The firmware was not written to the device: the device's serial port was not found. Make sure the device is connected by USB and switched on and that no other program holds its port, then refresh the list and download the main program again.</translation>
        </message>
        <message>
            <source>固件没有写入设备。</source>
            <translation>The firmware was not written to the device.</translation>
        </message>
        <message>
            <source>固件没有写入设备：设备没有应答。请重新连接设备，然后刷新列表，再次下载主程序。</source>
            <translation>The firmware was not written to the device: the device did not answer. Reconnect the device, then refresh the list and download the main program again.</translation>
        </message>
        <message>
            <source>固件没有写入设备：设备磁盘上找不到固件文件。请刷新列表，再次下载主程序。</source>
            <translation>The firmware was not written to the device: the firmware file is missing on the device disk. Refresh the list and download the main program again.</translation>
        </message>
        <message>
            <source>固件没有写入设备：%1</source>
            <translation>The firmware was not written to the device: %1</translation>
        </message>
        <message>
            <source>设备磁盘空间不足：请卸载不用的软件或删除不需要的文件后重试</source>
            <translation>Not enough space on the device disk: uninstall unused software or delete files you do not need, then try again</translation>
        </message>
        <message>
            <source>设备磁盘已被移除：请重新连接设备后重试</source>
            <translation>The device disk was removed: reconnect the device and try again</translation>
        </message>
        <message>
            <source>无法写入设备磁盘：磁盘可能是只读的或已损坏</source>
            <translation>Cannot write to the device disk: it may be read-only or damaged</translation>
        </message>
        <message>
            <source>服务器返回了错误：请稍后重试</source>
            <translation>The server answered with an error: try again later</translation>
        </message>
        <message>
            <source>无法连接服务器或传输中断：请检查网络后重试</source>
            <translation>The server could not be reached or the transfer broke off: check the network and try again</translation>
        </message>
        <message>
            <source>下载的文件校验不符（与服务器的描述不一致）：请重试</source>
            <translation>A downloaded file failed its check (it differs from the server's description): try again</translation>
        </message>
        <message>
            <source>服务器给出的文件位置不安全，已拒绝写入</source>
            <translation>The server named an unsafe place for a file; it was not written</translation>
        </message>
        <message>
            <source>下载已取消，原有文件保持不变</source>
            <translation>Download cancelled; the existing files are unchanged</translation>
        </message>
        <message>
            <source>有 %1 个文件没有下载成功：</source>
            <translation>%1 files did not download:</translation>
        </message>
        <message>
            <source>正在估算</source>
            <translation>estimating</translation>
        </message>
        <message>
            <source>已下载 %1 / %2	 速度 %3/s	 剩余时间 %4</source>
            <translation>Received %1 of %2	 Speed %3/s	 Time left %4</translation>
        </message>
        <message>
            <source>已取消</source>
            <translation>Cancelled</translation>
        </message>
        <message>
            <source>固件未写入</source>
            <translation>Firmware not written</translation>
        </message>
    </context>
    <context>
        <name>MessageBox</name>
        <message>
            <source>确定</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>是</source>
            <translation>Yes</translation>
        </message>
        <message>
            <source>否</source>
            <translation>No</translation>
        </message>
    </context>
    <context>
        <name>PackageCheckPanel</name>
        <message>
            <source>检查</source>
            <translation>Check</translation>
        </message>
        <message>
            <source>修复</source>
            <translation>Repair</translation>
        </message>
        <message>
            <source>取消</source>
            <translation>Cancel</translation>
        </message>
        <message>
            <source>检查结果</source>
            <translation>Check result</translation>
        </message>
        <message>
            <source>没有需要修复的软件包。</source>
            <translation>No package needs repairing.</translation>
        </message>
        <message>
            <source>修复完成：%1 个软件包已修复，%2 个未能修复，%3 个有新版本，请在下载页更新。</source>
            <translation>Repair finished: %1 package(s) repaired, %2 not repaired, %3 with a new version (update them on the download page).</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>完好</source>
            <translation>Intact</translation>
        </message>
        <message>
            <source>%1 个文件损坏或缺失</source>
            <translation>%1 file(s) damaged or missing</translation>
        </message>
        <message>
            <source>缺少安装清单 Update.json</source>
            <translation>Installed manifest Update.json missing</translation>
        </message>
        <message>
            <source>安装清单 Update.json 无法读取</source>
            <translation>Installed manifest Update.json unreadable</translation>
        </message>
        <message>
            <source>已修复</source>
            <translation>Repaired</translation>
        </message>
        <message>
            <source>已修复 %1 个文件，%2 个未能修复</source>
            <translation>%1 file(s) repaired, %2 not repaired</translation>
        </message>
        <message>
            <source>修复失败：%1 个文件未能修复</source>
            <translation>Repair failed: %1 file(s) not repaired</translation>
        </message>
        <message>
            <source>有新版本 %1，请在下载页更新</source>
            <translation>Version %1 available: update it on the download page</translation>
        </message>
        <message>
            <source>服务器上没有此软件包</source>
            <translation>The server does not offer this package</translation>
        </message>
        <message>
            <source>获取数据异常</source>
            <translation>Failed to get data</translation>
        </message>
        <message>
            <source>……另有 %1 个文件</source>
            <translation>... and %1 more file(s)</translation>
        </message>
        <message>
            <source>缺失：%1</source>
            <translation>Missing: %1</translation>
        </message>
        <message>
            <source>大小不符：%1</source>
            <translation>Wrong size: %1</translation>
        </message>
        <message>
            <source>内容损坏：%1</source>
            <translation>Damaged: %1</translation>
        </message>
        <message>
            <source>路径不安全，未检查：%1</source>
            <translation>Unsafe path, not checked: %1</translation>
        </message>
        <message>
            <source>修复要从服务器取回文件，请先登录。</source>
            <translation>A repair fetches files from the server: please sign in first.</translation>
        </message>
        <message>
            <source>设备自己的文件夹，不是软件包</source>
            <translation>The device's own folder, not a package</translation>
        </message>
    </context>
    <context>
        <name>PromptDlg</name>
        <message>
            <source>请稍候</source>
            <translation>Please wait</translation>
        </message>
        <message>
            <source>取消</source>
            <translation>Cancel</translation>
        </message>
    </context>
    <context>
        <name>ProxySetting</name>
        <message>
            <source>代理设置</source>
            <translation>Proxy settings</translation>
        </message>
        <message>
            <source>使用代理服务器</source>
            <translation>Use a proxy server</translation>
        </message>
        <message>
            <source>代理地址：</source>
            <translation>Proxy address:</translation>
        </message>
        <message>
            <source>端口：</source>
            <translation>port:</translation>
        </message>
        <message>
            <source>账号：</source>
            <translation>account:</translation>
        </message>
        <message>
            <source>密码：</source>
            <translation>password:</translation>
        </message>
        <message>
            <source>确定</source>
            <translation>OK</translation>
        </message>
    </context>
    <context>
        <name>QObject</name>
        <message>
            <source>数据流</source>
            <translation>Data stream</translation>
        </message>
        <message>
            <source>故障码</source>
            <translation>Code</translation>
        </message>
        <message>
            <source>冻结帧</source>
            <translation>Freeze frame</translation>
        </message>
        <message>
            <source>自动扫描结果</source>
            <translation>Auto scan result</translation>
        </message>
        <message>
            <source>版本信息</source>
            <translation>Version information</translation>
        </message>
        <message>
            <source>成功</source>
            <translation>Success</translation>
        </message>
        <message>
            <source>擦除Flash失败</source>
            <translation>Erase Flash failed</translation>
        </message>
        <message>
            <source>写入Flash失败</source>
            <translation>Failed to write to Flash</translation>
        </message>
        <message>
            <source>校验文件失败</source>
            <translation>Verify file failed</translation>
        </message>
        <message>
            <source>不支持的设备对象</source>
            <translation>Unsupported device object</translation>
        </message>
        <message>
            <source>不支持的命令</source>
            <translation>Unsupported command</translation>
        </message>
        <message>
            <source>参数错误</source>
            <translation>Parameter error</translation>
        </message>
        <message>
            <source>命令执行流程错误</source>
            <translation>Command execution flow error</translation>
        </message>
        <message>
            <source>参数超出范围</source>
            <translation>Parameter out of range</translation>
        </message>
        <message>
            <source>分配内存空间失败</source>
            <translation>Failed to allocate memory space</translation>
        </message>
        <message>
            <source>包格式错误</source>
            <translation>Packet format error</translation>
        </message>
        <message>
            <source>校验镜像错误</source>
            <translation>Verify image error</translation>
        </message>
        <message>
            <source>传输块序号出错</source>
            <translation>Transport block sequence number error</translation>
        </message>
        <message>
            <source>不支持的文件类型</source>
            <translation>Unsupported file type</translation>
        </message>
        <message>
            <source>写入文件失败</source>
            <translation>Failed to write file</translation>
        </message>
        <message>
            <source>解密文件失败</source>
            <translation>Failed to decrypt file</translation>
        </message>
        <message>
            <source>初始化Flash驱动失败</source>
            <translation>Failed to initialize flash driver</translation>
        </message>
        <message>
            <source>读取文件失败</source>
            <translation>Failed to read file</translation>
        </message>
        <message>
            <source>读FLASH失败</source>
            <translation>Failed to read FLASH</translation>
        </message>
        <message>
            <source>校验数据错误</source>
            <translation>Check data error</translation>
        </message>
        <message>
            <source>获取SN失败</source>
            <translation>Failed to get SN</translation>
        </message>
        <message>
            <source>lang</source>
            <extracomment>Language code of the package names the server sends: CN or EN</extracomment>
            <translation>EN</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
    </context>
    <context>
        <name>Report</name>
        <message>
            <source>车辆诊断报告</source>
            <translation>Vehicle Diagnostic Report</translation>
        </message>
        <message>
            <source>返回</source>
            <translation>Back</translation>
        </message>
        <message>
            <source>保存</source>
            <translation>Save</translation>
        </message>
        <message>
            <source>打印</source>
            <translation>Print</translation>
        </message>
        <message>
            <source>车辆信息</source>
            <translation>Vehicle information</translation>
        </message>
        <message>
            <source>名称</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>数值</source>
            <translation>Value</translation>
        </message>
        <message>
            <source>单位</source>
            <translation>Unit</translation>
        </message>
        <message>
            <source>故障码</source>
            <translation>Trouble code</translation>
        </message>
        <message>
            <source>状态</source>
            <translation>Status</translation>
        </message>
        <message>
            <source>描述</source>
            <translation>Description</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>报告未能保存到 %1。请检查该位置是否可写、空间是否足够。</source>
            <translation>The report could not be saved to %1. Check that the location is writable and has enough free space.</translation>
        </message>
    </context>
    <context>
        <name>ReportEngine</name>
        <message>
            <source>Save File</source>
            <translation>Save File</translation>
        </message>
    </context>
    <context>
        <name>ReportPreview</name>
        <message>
            <source>Save as PDF</source>
            <translation>Save as PDF</translation>
        </message>
        <message>
            <source>Save as HTML</source>
            <translation>Save as HTML</translation>
        </message>
    </context>
    <context>
        <name>SerialPortAccess</name>
        <message>
            <source>设备的串口 %1 已连接，但当前用户没有打开它的权限。</source>
            <translation>The device's serial port %1 is connected, but the current user has no permission to open it.</translation>
        </message>
        <message>
            <source>udev 规则已经安装：请重新插入设备。</source>
            <translation>The udev rule is installed: plug the device in again.</translation>
        </message>
        <message>
            <source>请安装本程序附带的 udev 规则，然后重新插入设备：</source>
            <translation>Install the udev rule that comes with this program, then plug the device in again:</translation>
        </message>
        <message>
            <source>或者把当前用户加入 %1 组，然后注销并重新登录：</source>
            <translation>Or add the current user to the group %1, then log out and log in again:</translation>
        </message>
    </context>
    <context>
        <name>SettingDlg</name>
        <message>
            <source>设置</source>
            <translation>Setting</translation>
        </message>
        <message>
            <source>语言：</source>
            <translation>Language:</translation>
        </message>
        <message>
            <source>Chinese(简体中文)</source>
            <translation>Chinese(Simplified)</translation>
        </message>
        <message>
            <source>繁体中文</source>
            <translation>Traditional Chinese</translation>
        </message>
        <message>
            <source>English</source>
            <translation>English</translation>
        </message>
        <message>
            <source>应用</source>
            <translation>Apply</translation>
        </message>
    </context>
    <context>
        <name>UserManage</name>
        <message>
            <source>用户登录</source>
            <translation>User login</translation>
        </message>
        <message>
            <source>立即登录，享受更多便捷服务</source>
            <translation>Log in now to enjoy more convenient services</translation>
        </message>
        <message>
            <source>账户</source>
            <translation>Account</translation>
        </message>
        <message>
            <source>密码</source>
            <translation>Password</translation>
        </message>
        <message>
            <source>自动登录</source>
            <translation>Auto login</translation>
        </message>
        <message>
            <source>记住密码</source>
            <translation>Remember password</translation>
        </message>
        <message>
            <source>找回密码</source>
            <translation>Retrieve password</translation>
        </message>
        <message>
            <source>登录</source>
            <translation>Log in</translation>
        </message>
        <message>
            <source>注册成功</source>
            <translation>Registration success</translation>
        </message>
        <message>
            <source>注册账号</source>
            <translation>Register an account</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>账号或密码错误</source>
            <translation>Incorrect username or password</translation>
        </message>
        <message>
            <source>正在登录...</source>
            <translation>Signing in...</translation>
        </message>
    </context>
    <context>
        <name>UserReg</name>
        <message>
            <source>注册账号</source>
            <translation>Register an account</translation>
        </message>
        <message>
            <source>账户</source>
            <translation>Account</translation>
        </message>
        <message>
            <source>4至12位英文字符</source>
            <translation>4 to 12 English characters</translation>
        </message>
        <message>
            <source>姓名</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>请输入2个中文字符或4-40个英文字符</source>
            <translation>Please enter 2 Chinese characters or 4-40 English characters</translation>
        </message>
        <message>
            <source>密码</source>
            <translation>Password</translation>
        </message>
        <message>
            <source>请输入密码</source>
            <translation>Please enter password</translation>
        </message>
        <message>
            <source>请再次输入密码</source>
            <translation>Please enter password again</translation>
        </message>
        <message>
            <source>手机号码</source>
            <translation>phone number</translation>
        </message>
        <message>
            <source>请输入手机号码</source>
            <translation>Please enter the phone number</translation>
        </message>
        <message>
            <source>邮箱</source>
            <translation>Mail</translation>
        </message>
        <message>
            <source>请输入电子邮箱</source>
            <translation>Please enter your email address</translation>
        </message>
        <message>
            <source>设备号</source>
            <translation>Device No</translation>
        </message>
        <message>
            <source>提交</source>
            <translation>Submit</translation>
        </message>
        <message>
            <source>注册绑定可享受更长的售后服务</source>
            <translation>Register binding to enjoy longer after-sales service</translation>
        </message>
        <message>
            <source>用户名长度不符合要求</source>
            <translation>Username length does not meet the requirements</translation>
        </message>
        <message>
            <source>密码最少为8位字符</source>
            <translation>Password must be at least 8 characters</translation>
        </message>
        <message>
            <source>两次密码输入不一致,请重新输入!</source>
            <translation>The two passwords entered are inconsistent, please re-enter!</translation>
        </message>
        <message>
            <source>手机号与邮箱不能同时留空</source>
            <translation>Mobile phone number and email address cannot be left blank at the same time</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Prompt</translation>
        </message>
        <message>
            <source>已存在同名账号</source>
            <translation>An account with the same name already exists</translation>
        </message>
        <message>
            <source>正在提交...</source>
            <translation>Submitting...</translation>
        </message>
    </context>
    <context>
        <name>device</name>
        <message>
            <source>未知错误</source>
            <translation>Unknown error</translation>
        </message>
    </context>
</TS>
