<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>Digite o código PIN</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>O código PIN é exibido no receptor</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Código PIN incorreto</translation>
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
        <translation>Iniciar o compartilhamento ao conectar</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Conectando o dispositivo</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Configurando, aguarde</translation>
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
        <translation>Falha na conexão</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Tentar novamente</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Escolha um modo de compartilhamento</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Selecione como este dispositivo é exibido no receptor</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>Compartilhamento em tela cheia</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Compartilha o conteúdo deste dispositivo em tela cheia</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Compartilhamento em tela dividida</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Compartilha o conteúdo de vários dispositivos em uma tela</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Compartilhando</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Parar de compartilhar</translation>
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
        <translation>Nenhum dispositivo conectado</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Desconectar</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Sem resposta do ZORVAX, tente novamente</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mostrar cursor</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Ativar tela estendida</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Manter proporção</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Ativar toque</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Alta qualidade de imagem</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Aceleração de hardware</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Rede fraca</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Sobre o Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Opções avançadas</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Aceleração de hardware ativada</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Quando ativada, o desempenho pode ser maior; desative esta opção se encontrar algum problema</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Aceleração de hardware desativada</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Quando desativada, o desempenho pode ser um pouco menor, mas a compatibilidade é maior</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modo de rede fraca ativado</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Reduz interrupções em redes de baixa qualidade</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modo de rede fraca desativado</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Podem ocorrer interrupções em redes de baixa qualidade</translation>
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
        <translation>Nenhum dispositivo conectado</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>Sem resposta do ZORVAX, tente novamente</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Sair</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Mostrar cursor</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Ativar tela estendida</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Manter proporção</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Ativar toque</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Alta qualidade de imagem</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Aceleração de hardware</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Rede fraca</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>Sobre o Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Opções avançadas</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Aceleração de hardware ativada</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Quando ativada, o desempenho pode ser maior; desative esta opção se encontrar algum problema</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Aceleração de hardware desativada</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Quando desativada, o desempenho pode ser um pouco menor, mas a compatibilidade é maior</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Modo de rede fraca ativado</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Reduz interrupções em redes de baixa qualidade</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Modo de rede fraca desativado</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>Podem ocorrer interrupções em redes de baixa qualidade</translation>
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
        <translation>Sobre o Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Compilado em: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Emissor: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Receptor: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Licenças de código aberto</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Desconhecido</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>Tem certeza de que deseja sair do aplicativo?</translation>
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
        <translation>Compartilhamento interrompido devido a uma falha de rede</translation>
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
        <translation>Aviso</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Dica</translation>
    </message>
</context>
</TS>
