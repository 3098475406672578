#include "i18n/translation_table.h"

namespace pigeonet {

// Held as UTF-8, whatever the system's ANSI code page: the Win32 side widens each text at the W call, so the
// Russian texts show correctly on any system.
const std::array<std::string_view, kLangLineCount> tLang = {
    "Выход;Close;Exit;",
    "Отмена;Cancel;Abbrechen;",
    "Сайт программы;WebSite;Site-Programm;",
    "Автозагрузка;Startup;Startup;",
    "Настройки;Settings;Einstellungen;",
    "Открыть почту;Open-mail;Open Mail;",
    "система уведомлений о поступившей почты;sSystem notifications received mail;system eingegangenen mitteilungen "
    "mail;",
    "Основные;Main;Main;",
    "Программа или сайт для просмотра почты;Program or website for viewing mail;Das Programm oder Website, um E-Mail;",
    "файл или адрес (http://) для чтения почты;file or the address (http://) to read mail;Datei oder die Adresse "
    "(http://), um Mail zu lesen;",
    "Период проверки;Interval;Validation Zeit;",
    "меньше;less;weniger;",
    "больше;more;mehr;",
    "мин.;min.;min.;",
    "Добавить;Add;Schreibe;",
    "Изменить;Edit;Change;",
    "Удалить;Delete;Entfernen;",
    "Имя;Name;Name;",
    "Сервер;Server;Server;",
    "Индикация;Indication;Angabe;",
    "Звуковой сигнал;Sound signal;Sound-Effekt;",
    "Мигание иконки при поступление нового сообщения;Flashing icon when new message arrives;Blinkt das Symbol, wenn "
    "neue Nachricht eintrifft;",
    "Логин;Login;Login;",
    "Пароль;Password;Passwort;",
    "Сервер входящей почты;Incoming mail server;Posteingangsserver;",
    "Скорость анимации;Animation speed;Die Geschwindigkeit der Bewegung;",
    "проверка почты;checking e-mail;E-Mails checken;",
    "без звукового сигнала;without the beep;lautlos;",
    "Показывать конверт;Show envelope;Zeige Umschlag;",
    "Уведомлять при загрузки программы об подключении к e-mail;Notify me when loading the program on connecting to the "
    "e-mail;Benachrichtigen Sie mich, wenn das Laden des Programms auf die Verbindung zum E-Mail;",
    "Подключение к e-mail выполнено!;Connecting to e-mail done!;Anschluss an e-mail gemacht!;",
    "Проверить почту;Check your mail;Update e-mail;",
    // The account editor's connection choices and its Test button; "%s" stands for the count or the failure.
    "Протокол;Protocol;Protokoll;",
    "Защита соединения;Connection security;Verbindungssicherheit;",
    "Нет;None;Keine;",
    "Проверить;Test;Testen;",
    "Проверка...;Testing...;Prüfung...;",
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
