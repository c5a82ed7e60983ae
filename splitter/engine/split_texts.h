// The split's texts that both its plan and its writer show: one wording, whichever of them
// finds the fault. The window and the command line have them from splitRefusalPattern.
#pragma once

inline constexpr char kTextPointless[] = "Нет смысла разбивать файл";
inline constexpr char kTextSourceUnavailable[] = "Разбиваемый файл не выбран или недоступен!";
inline constexpr char kTextEnterName[] = "Введите имя архива!";
inline constexpr char kTextTooManyMembers[] =
    "Слишком много томов: в архиве может быть не больше 2147483647 файлов! Увеличьте размер тома.";
inline constexpr char kTextNameConflict[] = "Конфликт имен архива и исходного файла!";
inline constexpr char kTextCannotCreate[] = "Не могу создать архив %s!";
inline constexpr char kTextSourceChanged[] =
    "Файл %s изменился! Проверьте его и повторите разбиение.";
