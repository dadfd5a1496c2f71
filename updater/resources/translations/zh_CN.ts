<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Interaction</name>
    <message>
        <source>DavuvuVeriv Update</source>
        <translation>DavuvuVeriv 更新</translation>
    </message>
</context>
<context>
    <name>UpdateDialogPage</name>
    <message>
        <source>Update is available</source>
        <translation>发现新版本</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>立即更新</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>UpdatingPage</name>
    <message>
        <source>Updating</source>
        <translation>正在更新</translation>
    </message>
</context>
<context>
    <name>UpdateFinishedPage</name>
    <message>
        <source>Update successfully</source>
        <translation>更新成功</translation>
    </message>
    <message>
        <source>Hope you enjoy the new version</source>
        <translation>希望您喜欢新版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
</TS>
