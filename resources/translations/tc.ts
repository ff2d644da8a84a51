<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="zh_CN">
    <context>
        <name>DataList</name>
        <message>
            <source>数据流</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>名称</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>序号</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>返回</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>确认</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>参考</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>数值</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>单位</source>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>DataManage</name>
        <message>
            <source>数据管理</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>名称</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>内容类型</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>大小</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>选项</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>删除</source>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>DeviceDisks</name>
        <message>
            <source>文件系统</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>总空间</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>可用空间</source>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>KXButtonDelegate</name>
        <message>
            <source>下载</source>
            <translation>下載</translation>
        </message>
        <message>
            <source>报告</source>
            <translation type="unfinished" />
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
            <translation type="unfinished" />
        </message>
        <message>
            <source>提示</source>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>MainWindow</name>
        <message>
            <source>KX410升级助手</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>代理设置</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>最小化</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>最大化</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>关闭</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>名称</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>本地版本</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>服务器版本</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>大小</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>进度</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>操作</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>全选</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>一键下载</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>软件名称</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>版本号</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>安装位置</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>卸载</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>下载</source>
            <translation type="unfinished">下載</translation>
        </message>
        <message>
            <source>数据</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>手册</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>设置</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>正在升级GD32...</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>正在升级固件，请稍候...</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>主程序</source>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>MessageBox</name>
        <message>
            <source>确定</source>
            <translation>確定</translation>
        </message>
    </context>
    <context>
        <name>PromptDlg</name>
        <message>
            <source>Dialog</source>
            <translation>對話框</translation>
        </message>
    </context>
    <context>
        <name>QObject</name>
        <message>
            <source>数据流</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>故障码</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>冻结帧</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>自动扫描结果</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>版本信息</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>成功</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>擦除Flash失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>写入Flash失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>校验文件失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>不支持的设备对象</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>不支持的命令</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>参数错误</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>命令执行流程错误</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>参数超出范围</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>分配内存空间失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>包格式错误</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>校验镜像错误</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>传输块序号出错</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>不支持的文件类型</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>写入文件失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>解密文件失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>初始化Flash驱动失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>读取文件失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>读FLASH失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>校验数据错误</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>获取SN失败</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>lang</source>
            <extracomment>Language code of the package names the server sends: CN or EN</extracomment>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>Report</name>
        <message>
            <source>车辆诊断报告</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>返回</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>保存</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>打印</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>车辆信息</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>名称</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>数值</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>单位</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>故障码</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>状态</source>
            <translation type="unfinished" />
        </message>
        <message>
            <source>描述</source>
            <translation type="unfinished" />
        </message>
    </context>
    <context>
        <name>SettingDlg</name>
        <message>
            <source>设置</source>
            <translation>設定</translation>
        </message>
        <message>
            <source>语言：</source>
            <translation>語言：</translation>
        </message>
        <message>
            <source>Chinese(简体中文)</source>
            <translation>Chinese(簡體中文)</translation>
        </message>
        <message>
            <source>繁体中文</source>
            <translation>繁體中文</translation>
        </message>
        <message>
            <source>English</source>
            <translation>English</translation>
        </message>
        <message>
            <source>应用</source>
            <translation>應用</translation>
        </message>
    </context>
    <context>
        <name>device</name>
        <message>
            <source>未知错误</source>
            <translation type="unfinished" />
        </message>
    </context>
</TS>
