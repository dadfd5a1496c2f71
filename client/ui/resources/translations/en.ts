<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>Input PIN code</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>PIN code is shown on receiver</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Wrong PIN code</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>%1 Digits PIN code &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>Start sharing when connected</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Device connecting</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Configuring, please wait</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>Connection failed</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Retry</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Choose a sharing mode</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Select how this device is shown on the receiver</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>One Screen Sharing</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Sharing content of this device in full screen</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Join Screen Sharing</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Sharing contents of multiple devices in one screen</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Sharing</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Stop sharing</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Davuvu Veriv</source>
        <translation>Davuvu Veriv</translation>
    </message>
    <message>
        <source>Unconnected tip</source>
        <translation>No device connected</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>No response from ZORVAX, please try again</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Show cursor</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Enable extented screen</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Keep aspect ratio</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Enable touch</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>High Image Quality</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Hardware Acceleration</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Weak Network</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>About Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Advanced options</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Hardware Acceleration enabled</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>When enable, may have higher performace, try disable this option if you encounter any issues</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Hardware Acceleration disabled</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>When disabled, may have a bit lower performace but more higher compatibility</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Weak Network Mode enabled</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Reduce interruptions in a poor network environment</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Weak Network Mode disabled</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Interruptions may happen while in poor network environment</translation>
    </message>
</context>
<context>
    <name>Castora</name>
    <message>
        <source>Davuvu Veriv</source>
        <translation>Davuvu Veriv</translation>
    </message>
    <message>
        <source>Unconnected tip</source>
        <translation>No device connected</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>No response from ZORVAX, please try again</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Show cursor</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Enable extented screen</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Keep aspect ratio</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Enable touch</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>High Image Quality</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Hardware Acceleration</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Weak Network</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>About Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Advanced options</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Hardware Acceleration enabled</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>When enable, may have higher performace, try disable this option if you encounter any issues</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Hardware Acceleration disabled</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>When disabled, may have a bit lower performace but more higher compatibility</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Weak Network Mode enabled</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Reduce interruptions in a poor network environment</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Weak Network Mode disabled</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Interruptions may happen while in poor network environment</translation>
    </message>
</context>
<context>
    <name>About</name>
    <message>
        <source>Davuvu Veriv</source>
        <translation>Davuvu Veriv</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>About Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Compile at: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Sender: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Receiver: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Open-source licenses</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>Are you sure you want to quit the application?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirm</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>Sharing interrupted due to abnorm. net</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TipDialog</name>
    <message>
        <source>Notice</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Tip</translation>
    </message>
</context>
</TS>
