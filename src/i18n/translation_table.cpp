#include "i18n/translation_table.h"

namespace pigeonet {

// Held as UTF-8, whatever the system's ANSI code page: the Win32 side widens each text at the W call, so the
// Russian texts show correctly on any system.
const std::array<std::string_view, kLangLineCount> tLang = {
    "Выход;Close;Beenden;",
    "Отмена;Cancel;Abbrechen;",
    "Сайт программы;Website;Programm-Website;",
    "Автозагрузка;Startup;Autostart;",
    "Настройки;Settings;Einstellungen;",
    "Открыть почту;Open mail;Post öffnen;",
    "система уведомлений о поступившей почте;notification of incoming mail;Benachrichtigung über eingehende Post;",
    "Основные;Main;Allgemein;",
    "Программа или сайт для просмотра почты;Program or website for viewing mail;Programm oder Website zum Lesen der "
    "Post;",
    "файл или адрес (http://) для чтения почты;file or address (http://) for reading mail;Datei oder Adresse "
    "(http://) zum Lesen der Post;",
    "Период проверки;Interval;Prüfintervall;",
    "меньше;less;weniger;",
    "больше;more;mehr;",
    "мин.;min.;min.;",
    "Добавить;Add;Hinzufügen;",
    "Изменить;Edit;Ändern;",
    "Удалить;Delete;Entfernen;",
    "Имя;Name;Name;",
    "Сервер;Server;Server;",
    "Индикация;Notification;Benachrichtigung;",
    "Звуковой сигнал;Sound signal;Signalton;",
    "Мигание иконки при поступлении нового сообщения;Flash the icon when a new message arrives;Symbol blinken "
    "lassen, wenn neue Post eintrifft;",
    "Логин;Login;Login;",
    "Пароль;Password;Passwort;",
    "Сервер входящей почты;Incoming mail server;Posteingangsserver;",
    "Скорость анимации;Animation speed;Animationsgeschwindigkeit;",
    "проверка почты;checking e-mail;E-Mails checken;",
    "без звукового сигнала;without the beep;lautlos;",
    "Показывать конверт;Show envelope;Umschlag anzeigen;",
    "Уведомлять при загрузке программы о подключении к e-mail;Notify me at start-up when connected to e-mail;Beim "
    "Programmstart die Verbindung zum Postfach melden;",
    "Подключение к e-mail выполнено!;Connected to e-mail!;Mit dem Postfach verbunden!;",
    "Проверить почту;Check your mail;E-Mails abrufen;",
    // The account editor's connection choices and its Test button; "%s" stands for the count or the failure.
    "Протокол;Protocol;Protokoll;",
    "Защита соединения;Connection security;Verbindungssicherheit;",
    "Нет;None;Keine;",
    "Проверить;Test;Testen;",
    "Проверка...;Testing...;Wird getestet...;",
    "Подключено, непрочитанных: %s;Connected: %s unread;Verbunden: %s ungelesen;",
    "Подключено, сообщений: %s;Connected: %s messages;Verbunden: %s Nachrichten;",
    "Ошибка: %s;Failed: %s;Fehlgeschlagen: %s;",
    // The envelope's two captions, drawn over its picture in the interface language.
    "новое письмо;new letter;neue Post;",
    "всего;in total;gesamt;",
    // The notification tab's options for the count on the icon, new mail only and quiet while presenting.
    "Сообщать только о новой почте;Announce only new mail;Nur neue Post melden;",
    "Показывать число писем на значке;Show the count on the icon;Anzahl auf dem Symbol zeigen;",
    "Не беспокоить во время презентаций и игр;Stay quiet while I present or play full screen;Ruhe bei "
    "Präsentationen und Vollbild;",
    // A mailbox that could not be opened, named after its address in the tray tooltip.
    "нет соединения;cannot connect;keine Verbindung;",
    "TLS отклонён;TLS refused;TLS abgelehnt;",
    "сертификат не принят;certificate not trusted;Zertifikat abgelehnt;",
    "вход отклонён;login refused;Anmeldung abgelehnt;",
    "нет ответа;timed out;keine Antwort;",
    // The first start's hint when no mailbox is set up yet.
    "Щёлкните значок правой кнопкой и добавьте почтовый ящик в настройках.;Right-click this icon and add a "
    "mailbox in Settings.;Klicken Sie mit der rechten Maustaste auf das Symbol und fügen Sie in den Einstellungen "
    "ein Postfach hinzu.;",
};

std::string GetSubStr(std::string_view text, char separator, std::int64_t n) {
    std::string_view s = text;
    for (std::int64_t k = n - 1; k > 0; --k) {
        const std::size_t p = s.find(separator);
        if (p == std::string_view::npos) {
            // Nothing is left to skip: every further step would leave s as it is, so stop now rather than
            // spin through a huge n (a corrupt stored "lang" can ask for field 2147483648).
            break;
        }
        s.remove_prefix(p + 1);
        while (!s.empty() && s.front() == separator) {
            s.remove_prefix(1);
        }
    }
    const std::size_t p = s.find(separator);
    return std::string(p == std::string_view::npos ? s : s.substr(0, p));
}

std::string NoSoundEntry(std::int32_t storedLang) {
    constexpr std::size_t kNoSoundLine = 27;
    return "(" + GetSubStr(tLang[kNoSoundLine], ';', std::int64_t{storedLang} + 1) + ")";
}

}  // namespace pigeonet
