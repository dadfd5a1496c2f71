<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>輸入PIN碼</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>PIN碼顯示於接收端上</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>PIN碼錯誤</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>%1位數PIN碼 &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>連線</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>連線後自動開始投影</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>裝置連線中</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>正在設定，請稍候</translation>
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
        <translation>連線失敗</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>重試</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>選擇投影方式</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>選擇本裝置在接收端上的顯示方式</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>單螢幕投影</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>將本裝置的內容全螢幕投影</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>分割畫面投影</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>將多台裝置的內容投影到同一螢幕</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>投影中</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>停止投影</translation>
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
        <translation>未連線裝置</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>中斷連線</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX無回應，請重試</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>結束</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>顯示游標</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>啟用延伸螢幕</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>保持長寬比</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>啟用觸控</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>高畫質</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>硬體加速</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>弱網路模式</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>關於Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>進階選項</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>已啟用硬體加速</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>啟用後效能可能更高，如遇問題請嘗試停用此選項</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>已停用硬體加速</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>停用後效能可能略低，但相容性更好</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>已啟用弱網路模式</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>在網路環境較差時減少中斷</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>已停用弱網路模式</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>網路環境較差時可能出現中斷</translation>
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
        <translation>未連線裝置</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX無回應，請重試</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>結束</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>顯示游標</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>啟用延伸螢幕</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>保持長寬比</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>啟用觸控</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>高畫質</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>硬體加速</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>弱網路模式</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>關於Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>進階選項</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>已啟用硬體加速</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>啟用後效能可能更高，如遇問題請嘗試停用此選項</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>已停用硬體加速</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>停用後效能可能略低，但相容性更好</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>已啟用弱網路模式</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>在網路環境較差時減少中斷</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>已停用弱網路模式</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>網路環境較差時可能出現中斷</translation>
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
        <translation>關於Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>編譯時間：</translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>傳送端：</translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>接收端：</translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>開放原始碼授權</translation>
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
        <translation>確定要結束應用程式嗎？</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>網路異常，投影已中斷</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
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
        <translation>小提示</translation>
    </message>
</context>
</TS>
