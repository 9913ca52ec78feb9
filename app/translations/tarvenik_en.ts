<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>TTarvenik_Control_Form</name>
    <message>
        <source>Период опроса</source>
        <translation>Poll period</translation>
    </message>
    <message>
        <source>Порог &quot;0&quot;, В</source>
        <translation>Threshold &quot;0&quot;, V</translation>
    </message>
    <message>
        <source>Порог &quot;1&quot;, B</source>
        <translation>Threshold &quot;1&quot;, V</translation>
    </message>
    <message>
        <source>Длит сиг OS2</source>
        <translation>OS2 signal length</translation>
    </message>
    <message>
        <source>Задержка сиг OS2</source>
        <translation>OS2 signal delay</translation>
    </message>
    <message>
        <source>Подключение</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Делать SS</source>
        <translation>Screenshots</translation>
    </message>
    <message>
        <source>Выполнить</source>
        <translation>Execute</translation>
    </message>
    <message>
        <source>Обычная работа</source>
        <translation>Normal operation</translation>
    </message>
    <message>
        <source>Считать переменные из eeprom</source>
        <translation>Read the parameters from EEPROM</translation>
    </message>
    <message>
        <source>Сохранить переменные в eeprom</source>
        <translation>Save the parameters to EEPROM</translation>
    </message>
    <message>
        <source>Сброс значений оперативных переменных</source>
        <translation>Reset the working variables</translation>
    </message>
    <message>
        <source>Проверка работы индикатора OS1 OS1=0</source>
        <translation>Test of the OS1 indicator, OS1=0</translation>
    </message>
    <message>
        <source>Проверка работы индикатора OS1 OS1=1</source>
        <translation>Test of the OS1 indicator, OS1=1</translation>
    </message>
    <message>
        <source>Проверка работы выхода OS2 OS2=0</source>
        <translation>Test of the OS2 output, OS2=0</translation>
    </message>
    <message>
        <source>Проверка работы выхода OS2 OS2=1</source>
        <translation>Test of the OS2 output, OS2=1</translation>
    </message>
    <message>
        <source>Нет доступа к устройству :(</source>
        <translation>No access to the device :(</translation>
    </message>
    <message>
        <source>Устройство не обнаруженно :(</source>
        <translation>Device not found :(</translation>
    </message>
    <message>
        <source>Устройство обнаруженно :)</source>
        <translation>Device found :)</translation>
    </message>
    <message>
        <source>Устройство не отвечает :(</source>
        <translation>Device not responding :(</translation>
    </message>
    <message>
        <source>Min значение OS1 = %1</source>
        <translation>OS1 minimum = %1</translation>
    </message>
    <message>
        <source>Max значение OS1 = %1</source>
        <translation>OS1 maximum = %1</translation>
    </message>
    <message>
        <source>Время импульса OS2 = %1, напряжение OS2 %2</source>
        <translation>OS2 pulse time = %1, OS2 voltage %2</translation>
    </message>
    <message>
        <source>Время OS1 в сост &quot;1&quot; = %1</source>
        <translation>OS1 time in state &quot;1&quot; = %1</translation>
    </message>
    <message>
        <source>Время OS1 в сост &quot;0&quot; = %1</source>
        <translation>OS1 time in state &quot;0&quot; = %1</translation>
    </message>
    <message>
        <source>Тек сост OS1 = %1</source>
        <translation>OS1 state now = %1</translation>
    </message>
    <message>
        <source>%1 В</source>
        <translation>%1 V</translation>
    </message>
    <message>
        <source>Функция</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>Осциллограмма</source>
        <translation>Oscillogram</translation>
    </message>
</context>
</TS>
