<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>PinCodePage</name>
    <message>
        <source>Input PIN code</source>
        <translation>Введите PIN-код</translation>
    </message>
    <message>
        <source>PIN code is shown on receiver</source>
        <translation>PIN-код отображается на приёмнике</translation>
    </message>
    <message>
        <source>Wrong PIN code</source>
        <translation>Неверный PIN-код</translation>
    </message>
    <message>
        <source>%1 Digits PIN code &gt;</source>
        <translation>PIN-код из %1 символов &gt;</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключить</translation>
    </message>
    <message>
        <source>Start sharing when connected</source>
        <translation>Начать трансляцию после подключения</translation>
    </message>
</context>
<context>
    <name>ConnectPage</name>
    <message>
        <source>Device connecting</source>
        <translation>Подключение устройства</translation>
    </message>
    <message>
        <source>Configuring, please wait</source>
        <translation>Идёт настройка, подождите</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>FailurePage</name>
    <message>
        <source>Connection failed</source>
        <translation>Не удалось подключиться</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Повторить</translation>
    </message>
</context>
<context>
    <name>FunctionPage</name>
    <message>
        <source>Choose a sharing mode</source>
        <translation>Выберите режим трансляции</translation>
    </message>
    <message>
        <source>Select how this device is shown on the receiver</source>
        <translation>Выберите, как это устройство будет показано на приёмнике</translation>
    </message>
    <message>
        <source>One Screen Sharing</source>
        <translation>Трансляция на весь экран</translation>
    </message>
    <message>
        <source>Sharing content of this device in full screen</source>
        <translation>Содержимое этого устройства на весь экран</translation>
    </message>
    <message>
        <source>Join Screen Sharing</source>
        <translation>Совместная трансляция</translation>
    </message>
    <message>
        <source>Sharing contents of multiple devices in one screen</source>
        <translation>Содержимое нескольких устройств на одном экране</translation>
    </message>
</context>
<context>
    <name>MirrorPage</name>
    <message>
        <source>Sharing</source>
        <translation>Идёт трансляция</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>Остановить трансляцию</translation>
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
        <translation>Нет подключённых устройств</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Отключить</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX не отвечает, попробуйте ещё раз</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Показывать курсор</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Включить расширенный экран</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Сохранять пропорции</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Включить сенсорное управление</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Высокое качество изображения</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Аппаратное ускорение</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Слабая сеть</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>О программе Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Дополнительные параметры</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Аппаратное ускорение включено</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Когда включено, производительность может быть выше; при проблемах попробуйте отключить этот параметр</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Аппаратное ускорение отключено</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Когда отключено, производительность может быть немного ниже, зато выше совместимость</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Режим слабой сети включён</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Меньше обрывов при плохом качестве сети</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Режим слабой сети отключён</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>При плохом качестве сети возможны обрывы</translation>
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
        <translation>Нет подключённых устройств</translation>
    </message>
    <message>
        <source>No response from ZORVAX, please try again</source>
        <translation>ZORVAX не отвечает, попробуйте ещё раз</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation>Показывать курсор</translation>
    </message>
    <message>
        <source>Enable extented screen</source>
        <translation>Включить расширенный экран</translation>
    </message>
    <message>
        <source>Keep aspect ratio</source>
        <translation>Сохранять пропорции</translation>
    </message>
    <message>
        <source>Enable touch</source>
        <translation>Включить сенсорное управление</translation>
    </message>
    <message>
        <source>High Image Quality</source>
        <translation>Высокое качество изображения</translation>
    </message>
    <message>
        <source>Hardware Acceleration</source>
        <translation>Аппаратное ускорение</translation>
    </message>
    <message>
        <source>Weak Network</source>
        <translation>Слабая сеть</translation>
    </message>
    <message>
        <source>About Davuvu Veriv</source>
        <translation>О программе Davuvu Veriv</translation>
    </message>
    <message>
        <source>Advanced options</source>
        <translation>Дополнительные параметры</translation>
    </message>
    <message>
        <source>Hardware Acceleration enabled</source>
        <translation>Аппаратное ускорение включено</translation>
    </message>
    <message>
        <source>When enable, may have higher performace, try disable this option if you encounter any issues</source>
        <translation>Когда включено, производительность может быть выше; при проблемах попробуйте отключить этот параметр</translation>
    </message>
    <message>
        <source>Hardware Acceleration disabled</source>
        <translation>Аппаратное ускорение отключено</translation>
    </message>
    <message>
        <source>When disabled, may have a bit lower performace but more higher compatibility</source>
        <translation>Когда отключено, производительность может быть немного ниже, зато выше совместимость</translation>
    </message>
    <message>
        <source>Weak Network Mode enabled</source>
        <translation>Режим слабой сети включён</translation>
    </message>
    <message>
        <source>Reduce interruptions in a poor network environment</source>
        <translation>Меньше обрывов при плохом качестве сети</translation>
    </message>
    <message>
        <source>Weak Network Mode disabled</source>
        <translation>Режим слабой сети отключён</translation>
    </message>
    <message>
        <source>Interruptions may happen while in poor network environment</source>
        <translation>При плохом качестве сети возможны обрывы</translation>
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
        <translation>О программе Davuvu Veriv</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Compile at: </source>
        <translation>Дата сборки: </translation>
    </message>
    <message>
        <source>Sender: </source>
        <translation>Отправитель: </translation>
    </message>
    <message>
        <source>Receiver: </source>
        <translation>Приёмник: </translation>
    </message>
    <message>
        <source>Open-source licenses</source>
        <translation>Лицензии открытого ПО</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Неизвестно</translation>
    </message>
</context>
<context>
    <name>CloseDialog</name>
    <message>
        <source>QuitTips</source>
        <translation>Вы действительно хотите выйти из приложения?</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Подтвердить</translation>
    </message>
</context>
<context>
    <name>InterruptPage</name>
    <message>
        <source>InterruptQuitTips</source>
        <translation>Трансляция прервана из-за сбоя сети</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
</context>
<context>
    <name>TipDialog</name>
    <message>
        <source>Notice</source>
        <translation>Уведомление</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>Совет</translation>
    </message>
</context>
</TS>
