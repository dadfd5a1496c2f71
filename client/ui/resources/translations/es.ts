<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>Introduzca el código PIN</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>El código PIN se muestra en el receptor</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Código PIN incorrecto</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>Código PIN de %1 caracteres &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Conectar</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>Empezar a compartir al conectar</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Conectando el dispositivo</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Configurando, espere por favor</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>Error de conexión</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Reintentar</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Elija un modo para compartir</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Seleccione cómo se muestra este dispositivo en el receptor</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>Compartir en pantalla completa</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Comparte el contenido de este dispositivo en pantalla completa</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Compartir en pantalla dividida</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Comparte el contenido de varios dispositivos en una pantalla</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Compartiendo</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Dejar de compartir</translation>
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
        <translation>Ningún dispositivo conectado</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Desconectar</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Sin respuesta de ZORVAX, inténtelo de nuevo</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mostrar cursor</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Activar pantalla extendida</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Mantener relación de aspecto</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Activar táctil</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Alta calidad de imagen</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Aceleración por hardware</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Red débil</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Acerca de Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Opciones avanzadas</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Aceleración por hardware activada</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Al activarla, el rendimiento puede ser mayor; desactive esta opción si encuentra algún problema</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Aceleración por hardware desactivada</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Al desactivarla, el rendimiento puede ser algo menor, pero la compatibilidad es mayor</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modo de red débil activado</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Reduce las interrupciones en redes de mala calidad</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modo de red débil desactivado</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Pueden producirse interrupciones en redes de mala calidad</translation>
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
        <translation>Ningún dispositivo conectado</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Sin respuesta de ZORVAX, inténtelo de nuevo</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mostrar cursor</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Activar pantalla extendida</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Mantener relación de aspecto</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Activar táctil</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Alta calidad de imagen</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Aceleración por hardware</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Red débil</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Acerca de Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Opciones avanzadas</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Aceleración por hardware activada</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Al activarla, el rendimiento puede ser mayor; desactive esta opción si encuentra algún problema</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Aceleración por hardware desactivada</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Al desactivarla, el rendimiento puede ser algo menor, pero la compatibilidad es mayor</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modo de red débil activado</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Reduce las interrupciones en redes de mala calidad</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modo de red débil desactivado</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Pueden producirse interrupciones en redes de mala calidad</translation>
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
        <translation>Acerca de Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Compilado el: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Emisor: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Receptor: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Licencias de código abierto</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Desconocido</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>¿Seguro que desea salir de la aplicación?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirmar</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>Se interrumpió el uso compartido por un problema de red</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>TipDialog</name>
    <message>
        <source>Notice</source>
        <translation>Aviso</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Consejo</translation>
    </message>
</context>
</TS>
