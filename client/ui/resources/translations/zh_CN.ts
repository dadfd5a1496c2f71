<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>输入PIN码</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>PIN码显示在接收端上</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>PIN码错误</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>%1位PIN码 &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>连接后自动开始投屏</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>设备连接中</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>正在配置，请稍候</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>重试</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>选择投屏方式</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>选择本设备在接收端上的显示方式</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>单屏投屏</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>将本设备的内容全屏投放</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>分屏投屏</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>将多台设备的内容投放到同一屏幕</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>投屏中</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>停止投屏</translation>
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
        <translation>未连接设备</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开连接</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX无响应，请重试</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>显示光标</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>开启扩展屏</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>保持宽高比</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>开启触控</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>高清画质</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>硬件加速</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>弱网模式</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>关于Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>高级选项</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>已开启硬件加速</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>开启后性能可能更高，如遇问题请尝试关闭此选项</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>已关闭硬件加速</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>关闭后性能可能略低，但兼容性更好</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>已开启弱网模式</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>在网络环境较差时减少中断</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>已关闭弱网模式</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>网络环境较差时可能出现中断</translation>
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
        <translation>未连接设备</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX无响应，请重试</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>显示光标</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>开启扩展屏</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>保持宽高比</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>开启触控</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>高清画质</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>硬件加速</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>弱网模式</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>关于Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>高级选项</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>已开启硬件加速</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>开启后性能可能更高，如遇问题请尝试关闭此选项</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>已关闭硬件加速</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>关闭后性能可能略低，但兼容性更好</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>已开启弱网模式</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>在网络环境较差时减少中断</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>已关闭弱网模式</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>网络环境较差时可能出现中断</translation>
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
        <translation>关于Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>编译时间：</translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>发送端：</translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>接收端：</translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>开源许可</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>确定要退出应用程序吗？</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>网络异常，投屏已中断</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>TipDialog</name>
    <message>
        <source>Notice</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>小贴士</translation>
    </message>
</context>
</TS>
