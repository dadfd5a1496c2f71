<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>PIN 코드 입력</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>PIN 코드는 수신기에 표시됩니다</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>잘못된 PIN 코드</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>%1자리 PIN 코드 &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>연결</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>연결되면 공유 시작</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>장치 연결 중</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>구성 중입니다. 잠시 기다려 주세요</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>연결 실패</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>다시 시도</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>공유 모드 선택</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>수신기에 이 장치를 표시할 방식을 선택하세요</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>전체 화면 공유</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>이 장치의 화면을 전체 화면으로 공유합니다</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>분할 화면 공유</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>여러 장치의 화면을 하나의 화면에서 공유합니다</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>공유 중</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>공유 중지</translation>
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
        <translation>연결된 장치 없음</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>연결 끊기</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX에서 응답이 없습니다. 다시 시도해 주세요</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>종료</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>커서 표시</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>확장 화면 사용</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>화면 비율 유지</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>터치 사용</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>고화질</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>하드웨어 가속</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>약한 네트워크</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Davuvu Veriv 정보</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>고급 옵션</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>하드웨어 가속이 켜졌습니다</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>켜면 성능이 향상될 수 있습니다. 문제가 발생하면 이 옵션을 꺼 보세요</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>하드웨어 가속이 꺼졌습니다</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>끄면 성능은 조금 낮아질 수 있지만 호환성이 높아집니다</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>약한 네트워크 모드가 켜졌습니다</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>네트워크 환경이 좋지 않을 때 끊김을 줄입니다</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>약한 네트워크 모드가 꺼졌습니다</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>네트워크 환경이 좋지 않으면 끊길 수 있습니다</translation>
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
        <translation>연결된 장치 없음</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX에서 응답이 없습니다. 다시 시도해 주세요</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>종료</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>커서 표시</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>확장 화면 사용</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>화면 비율 유지</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>터치 사용</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>고화질</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>하드웨어 가속</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>약한 네트워크</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Davuvu Veriv 정보</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>고급 옵션</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>하드웨어 가속이 켜졌습니다</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>켜면 성능이 향상될 수 있습니다. 문제가 발생하면 이 옵션을 꺼 보세요</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>하드웨어 가속이 꺼졌습니다</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>끄면 성능은 조금 낮아질 수 있지만 호환성이 높아집니다</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>약한 네트워크 모드가 켜졌습니다</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>네트워크 환경이 좋지 않을 때 끊김을 줄입니다</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>약한 네트워크 모드가 꺼졌습니다</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>네트워크 환경이 좋지 않으면 끊길 수 있습니다</translation>
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
        <translation>Davuvu Veriv 정보</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>빌드 시간: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>송신기: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>수신기: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>오픈 소스 라이선스</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>알 수 없음</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>애플리케이션을 종료하시겠습니까?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>확인</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>네트워크 이상으로 공유가 중단되었습니다</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
</context>
<context>
    <name>TipDialog</name>
    <message>
        <source>Notice</source>
        <translation>알림</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>팁</translation>
    </message>
</context>
</TS>
