<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>Inserisci il codice PIN</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>Il codice PIN è visualizzato sul ricevitore</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Codice PIN errato</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>Codice PIN di %1 caratteri &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connetti</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>Avvia la condivisione alla connessione</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Connessione del dispositivo in corso</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Configurazione in corso, attendere</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>Connessione non riuscita</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Riprova</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Scegli una modalità di condivisione</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Seleziona come viene mostrato questo dispositivo sul ricevitore</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>Condivisione a schermo intero</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Condivide il contenuto di questo dispositivo a schermo intero</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Condivisione a schermo diviso</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Condivide i contenuti di più dispositivi su un unico schermo</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Condivisione in corso</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Interrompi la condivisione</translation>
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
        <translation>Nessun dispositivo connesso</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Nessuna risposta da ZORVAX, riprova</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mostra cursore</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Abilita schermo esteso</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Mantieni proporzioni</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Abilita tocco</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Alta qualità dell'immagine</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Accelerazione hardware</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Rete debole</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Informazioni su Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Opzioni avanzate</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Accelerazione hardware abilitata</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Se abilitata, le prestazioni possono essere migliori; disabilita questa opzione in caso di problemi</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Accelerazione hardware disabilitata</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Se disabilitata, le prestazioni possono essere leggermente inferiori ma la compatibilità è maggiore</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modalità rete debole abilitata</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Riduce le interruzioni con una rete di scarsa qualità</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modalità rete debole disabilitata</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Con una rete di scarsa qualità possono verificarsi interruzioni</translation>
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
        <translation>Nessun dispositivo connesso</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Nessuna risposta da ZORVAX, riprova</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mostra cursore</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Abilita schermo esteso</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Mantieni proporzioni</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Abilita tocco</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Alta qualità dell'immagine</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Accelerazione hardware</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Rete debole</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Informazioni su Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Opzioni avanzate</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Accelerazione hardware abilitata</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Se abilitata, le prestazioni possono essere migliori; disabilita questa opzione in caso di problemi</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Accelerazione hardware disabilitata</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Se disabilitata, le prestazioni possono essere leggermente inferiori ma la compatibilità è maggiore</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modalità rete debole abilitata</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Riduce le interruzioni con una rete di scarsa qualità</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modalità rete debole disabilitata</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Con una rete di scarsa qualità possono verificarsi interruzioni</translation>
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
        <translation>Informazioni su Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Compilato il: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Mittente: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Ricevitore: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Licenze open source</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Sconosciuto</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>Vuoi davvero uscire dall'applicazione?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Conferma</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>Condivisione interrotta a causa di un problema di rete</translation>
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
        <translation>Avviso</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Suggerimento</translation>
    </message>
</context>
</TS>
