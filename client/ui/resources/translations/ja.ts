<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>PINコードを入力</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>PINコードはレシーバーに表示されています</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>PINコードが正しくありません</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>%1桁のPINコード &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>接続後に共有を開始</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>デバイスに接続中</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>設定中です。しばらくお待ちください</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>接続に失敗しました</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>再試行</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>共有モードを選択</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>このデバイスをレシーバーにどのように表示するかを選択します</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>全画面共有</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>このデバイスの画面を全画面で共有します</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>分割画面共有</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>複数のデバイスの画面を1つの画面で共有します</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>共有中</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>共有を停止</translation>
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
        <translation>接続されているデバイスはありません</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAXから応答がありません。もう一度お試しください</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>カーソルを表示</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>拡張画面を有効にする</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>アスペクト比を維持</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>タッチを有効にする</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>高画質</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>ハードウェアアクセラレーション</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>低速ネットワーク</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Davuvu Verivについて</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>詳細オプション</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>ハードウェアアクセラレーションが有効になりました</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>有効にするとパフォーマンスが向上する場合があります。問題が発生した場合はこのオプションを無効にしてください</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>ハードウェアアクセラレーションが無効になりました</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>無効にするとパフォーマンスは少し低下しますが、互換性が高くなります</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>低速ネットワークモードが有効になりました</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>ネットワーク環境が悪い場合の中断を減らします</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>低速ネットワークモードが無効になりました</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>ネットワーク環境が悪い場合、中断が発生することがあります</translation>
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
        <translation>接続されているデバイスはありません</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAXから応答がありません。もう一度お試しください</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>カーソルを表示</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>拡張画面を有効にする</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>アスペクト比を維持</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>タッチを有効にする</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>高画質</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>ハードウェアアクセラレーション</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>低速ネットワーク</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Davuvu Verivについて</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>詳細オプション</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>ハードウェアアクセラレーションが有効になりました</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>有効にするとパフォーマンスが向上する場合があります。問題が発生した場合はこのオプションを無効にしてください</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>ハードウェアアクセラレーションが無効になりました</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>無効にするとパフォーマンスは少し低下しますが、互換性が高くなります</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>低速ネットワークモードが有効になりました</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>ネットワーク環境が悪い場合の中断を減らします</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>低速ネットワークモードが無効になりました</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>ネットワーク環境が悪い場合、中断が発生することがあります</translation>
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
        <translation>Davuvu Verivについて</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>ビルド日時: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>送信側: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>受信側: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>オープンソースライセンス</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>不明</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>アプリケーションを終了しますか？</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
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
        <translation>ネットワークの異常により共有が中断されました</translation>
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
        <translation>お知らせ</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>ヒント</translation>
    </message>
</context>
</TS>
