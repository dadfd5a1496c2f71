<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>PIN-Code eingeben</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>Der PIN-Code wird auf dem Empfänger angezeigt</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Falscher PIN-Code</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>%1-stelliger PIN-Code &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>Nach dem Verbinden Freigabe starten</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Gerät wird verbunden</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Wird eingerichtet, bitte warten</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>Verbindung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Freigabemodus wählen</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Legen Sie fest, wie dieses Gerät auf dem Empfänger angezeigt wird</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>Vollbildfreigabe</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Zeigt den Inhalt dieses Geräts im Vollbild</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Geteilter Bildschirm</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Zeigt die Inhalte mehrerer Geräte auf einem Bildschirm</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Freigabe läuft</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Freigabe beenden</translation>
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
        <translation>Kein Gerät verbunden</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Keine Antwort von ZORVAX, bitte versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mauszeiger anzeigen</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Erweiterten Bildschirm aktivieren</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Seitenverhältnis beibehalten</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Touch aktivieren</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Hohe Bildqualität</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Hardwarebeschleunigung</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Schwaches Netzwerk</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Über Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Erweiterte Optionen</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Hardwarebeschleunigung aktiviert</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Wenn aktiviert, kann die Leistung höher sein. Deaktivieren Sie diese Option, falls Probleme auftreten</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Hardwarebeschleunigung deaktiviert</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Wenn deaktiviert, ist die Leistung etwas geringer, die Kompatibilität aber höher</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modus für schwaches Netzwerk aktiviert</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Weniger Unterbrechungen in einer schlechten Netzwerkumgebung</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modus für schwaches Netzwerk deaktiviert</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>In einer schlechten Netzwerkumgebung kann es zu Unterbrechungen kommen</translation>
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
        <translation>Kein Gerät verbunden</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Keine Antwort von ZORVAX, bitte versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mauszeiger anzeigen</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Erweiterten Bildschirm aktivieren</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Seitenverhältnis beibehalten</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Touch aktivieren</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Hohe Bildqualität</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Hardwarebeschleunigung</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Schwaches Netzwerk</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Über Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Erweiterte Optionen</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Hardwarebeschleunigung aktiviert</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Wenn aktiviert, kann die Leistung höher sein. Deaktivieren Sie diese Option, falls Probleme auftreten</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Hardwarebeschleunigung deaktiviert</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Wenn deaktiviert, ist die Leistung etwas geringer, die Kompatibilität aber höher</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modus für schwaches Netzwerk aktiviert</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Weniger Unterbrechungen in einer schlechten Netzwerkumgebung</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modus für schwaches Netzwerk deaktiviert</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>In einer schlechten Netzwerkumgebung kann es zu Unterbrechungen kommen</translation>
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
        <translation>Über Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Erstellt am: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Sender: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Empfänger: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Open-Source-Lizenzen</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>Möchten Sie die Anwendung wirklich beenden?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Bestätigen</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>Freigabe wegen einer Netzwerkstörung unterbrochen</translation>
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
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Tipp</translation>
    </message>
</context>
</TS>
