<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Interaction</name>
    <message>
        <source>DavuvuVeriv Update</source>
        <translation>DavuvuVeriv Update</translation>
    </message>
</context>
<context>
    <name>UpdateDialogPage</name>
    <message>
        <source>Update is available</source>
        <translation>Update is available</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>UpdatingPage</name>
    <message>
        <source>Updating</source>
        <translation>Updating</translation>
    </message>
</context>
<context>
    <name>UpdateFinishedPage</name>
    <message>
        <source>Update successfully</source>
        <translation>Update successfully</translation>
    </message>
    <message>
        <source>Hope you enjoy the new version</source>
        <translation>Hope you enjoy the new version</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
