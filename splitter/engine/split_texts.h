// The split's texts that more than one place shows: the engine's checks, its writer and the
// window's checks before a split. One wording, whichever of them finds the fault first.
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
