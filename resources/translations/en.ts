<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
    <context>
        <name>KXButtonDelegate</name>
        <message>
            <source>下载</source>
            <translation>Download</translation>
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
        <name>MessageBox</name>
        <message>
            <source>确定</source>
            <translation>OK</translation>
        </message>
    </context>
    <context>
        <name>PromptDlg</name>
        <message>
            <source>Dialog</source>
            <translation>Dialog</translation>
        </message>
    </context>
</TS>
