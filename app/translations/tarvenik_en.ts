<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>THistoryLink</name>
    <message>
        <source>История измерений…</source>
        <translation>Measurement history…</translation>
    </message>
</context>
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
    <message>
        <source>Устройство не сохранило параметры :(</source>
        <translation>The device did not keep the parameters :(</translation>
    </message>
</context>
<context>
    <name>history</name>
    <message>
        <source>График истории измерений</source>
        <translation>Measurement history chart</translation>
    </message>
    <message>
        <source>С %1 по %2.</source>
        <translation>From %1 to %2.</translation>
    </message>
    <message>
        <source>Нет измерений.</source>
        <translation>No measurements.</translation>
    </message>
    <message>
        <source>%1: мин %2, макс %3, среднее %4.</source>
        <translation>%1: min %2, max %3, mean %4.</translation>
    </message>
    <message>
        <source>мин %1  макс %2  ср %3</source>
        <translation>min %1  max %2  mean %3</translation>
    </message>
    <message>
        <source>нет измерений</source>
        <translation>no measurements</translation>
    </message>
    <message>
        <source>В</source>
        <translation>V</translation>
    </message>
    <message>
        <source>отсчёты</source>
        <translation>counts</translation>
    </message>
    <message>
        <source>Не удалось открыть файл: %1</source>
        <translation>Could not open the file: %1</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл: %1</source>
        <translation>Could not read the file: %1</translation>
    </message>
    <message>
        <source>Это не журнал измерений Tarvenik: первая строка не заголовок журнала и не запись JSON.</source>
        <translation>This is not a Tarvenik measurement log: its first line is neither a log header nor a JSON record.</translation>
    </message>
    <message>
        <source>Это не журнал измерений Tarvenik.</source>
        <translation>This is not a Tarvenik measurement log.</translation>
    </message>
    <message>
        <source>OS1 min, В</source>
        <translation>OS1 min, V</translation>
    </message>
    <message>
        <source>OS1 max, В</source>
        <translation>OS1 max, V</translation>
    </message>
    <message>
        <source>Время импульса OS2</source>
        <translation>OS2 pulse time</translation>
    </message>
    <message>
        <source>Напряжение OS2, В</source>
        <translation>OS2 voltage, V</translation>
    </message>
    <message>
        <source>Время OS1 в &quot;1&quot;</source>
        <translation>OS1 time in &quot;1&quot;</translation>
    </message>
    <message>
        <source>Время OS1 в &quot;0&quot;</source>
        <translation>OS1 time in &quot;0&quot;</translation>
    </message>
    <message>
        <source>История измерений</source>
        <translation>Measurement history</translation>
    </message>
    <message>
        <source>&amp;Открыть…</source>
        <translation>&amp;Open…</translation>
    </message>
    <message>
        <source>&amp;Текущие измерения</source>
        <translation>&amp;Live measurements</translation>
    </message>
    <message>
        <source>Устройство журнала</source>
        <translation>Unit of the log</translation>
    </message>
    <message>
        <source>&amp;Следить за последними</source>
        <translation>&amp;Follow latest</translation>
    </message>
    <message>
        <source>Сохранить &amp;PNG…</source>
        <translation>Save &amp;PNG…</translation>
    </message>
    <message>
        <source>Сохранить &amp;CSV…</source>
        <translation>Save &amp;CSV…</translation>
    </message>
    <message numerus="yes">
        <source>В файле нет ни одной записи измерений (пропущено строк: %n).</source>
        <translation>
            <numerusform>The file holds no measurement record (%n line skipped).</numerusform>
            <numerusform>The file holds no measurement record (%n lines skipped).</numerusform>
        </translation>
    </message>
    <message>
        <source>В файле нет записей измерений.</source>
        <translation>The file holds no measurement records.</translation>
    </message>
    <message>
        <source>(без серийного номера)</source>
        <translation>(no serial number)</translation>
    </message>
    <message numerus="yes">
        <source>Текущие измерения, точек: %n</source>
        <translation>
            <numerusform>Live measurements: %n point</numerusform>
            <numerusform>Live measurements: %n points</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, записей: %n</source>
        <translation>
            <numerusform>%1: %n record</numerusform>
            <numerusform>%1: %n records</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>пропущено строк (не записи журнала): %n</source>
        <translation>
            <numerusform>%n line skipped (not a record of a log)</numerusform>
            <numerusform>%n lines skipped (not records of a log)</numerusform>
        </translation>
    </message>
    <message>
        <source>устройств: %1</source>
        <translation>units: %1</translation>
    </message>
    <message>
        <source>Не удалось сохранить %1</source>
        <translation>Could not save %1</translation>
    </message>
    <message>
        <source>Сохранено: %1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>Нет измерений для сохранения</source>
        <translation>No measurements to save</translation>
    </message>
    <message>
        <source>Не удалось сохранить %1: %2</source>
        <translation>Could not save %1: %2</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Открыть журнал</source>
        <translation>Open log</translation>
    </message>
    <message>
        <source>Журналы (*.csv *.jsonl *.json *.log);;Все файлы (*)</source>
        <translation>Logs (*.csv *.jsonl *.json *.log);;All files (*)</translation>
    </message>
    <message>
        <source>Рисунок PNG (*.png)</source>
        <translation>PNG picture (*.png)</translation>
    </message>
    <message>
        <source>Журнал CSV (*.csv)</source>
        <translation>CSV log (*.csv)</translation>
    </message>
    <message>
        <source>Это папка, а не файл журнала.</source>
        <translation>This is a folder, not a log file.</translation>
    </message>
    <message>
        <source>Это канал, а не файл журнала: журнал открывается только из файла.</source>
        <translation>This is a pipe, not a log file: a log is opened from a file only.</translation>
    </message>
    <message>
        <source>Это устройство, а не файл журнала.</source>
        <translation>This is a device, not a log file.</translation>
    </message>
    <message>
        <source>Это не обычный файл.</source>
        <translation>This is not a regular file.</translation>
    </message>
    <message>
        <source>Открытие отменено.</source>
        <translation>Opening cancelled.</translation>
    </message>
    <message>
        <source>Открытие журнала</source>
        <translation>Opening the log</translation>
    </message>
    <message>
        <source>Отм&amp;ена</source>
        <translation>Ca&amp;ncel</translation>
    </message>
    <message>
        <source>Открывается %1…</source>
        <translation>Opening %1…</translation>
    </message>
    <message numerus="yes">
        <source>не показаны записи устройств сверх %1: %n</source>
        <translation>
            <numerusform>records of units beyond %1 not shown: %n</numerusform>
            <numerusform>records of units beyond %1 not shown: %n</numerusform>
        </translation>
    </message>
    <message>
        <source>журнал велик: показаны наименьшее и наибольшее из каждых %1 записей</source>
        <translation>a long log: the lowest and highest of every %1 records shown</translation>
    </message>
</context>
</TS>
