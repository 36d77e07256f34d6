#include "setup/unattended/uCommandLine.h"

#include "runtime/uSysUtils.h"
#include "setup/install/uInstallSink.h"
#include "translation/uTranslator.h"

#include <iterator>

namespace {

AnsiString Translated(const char16_t* text) { return WideToAnsi(TranslateText(text)); }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\..." or "\\server\share\...": a path that means the same from any
// current folder. Characters Windows refuses in a name are refused here too.
bool IsAbsoluteFolder(const AnsiString& path)
{
    for (char c : path)
        if (static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return false;
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && path[2] == '\\')
        return path.find(':', 2) == AnsiString::npos;
    return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\' &&
           path.find(':') == AnsiString::npos;
}

// "host:port" with a port 1 to 65535; the host a name, an IPv4 address or a
// bracketed IPv6 address.
bool ParseProxy(const AnsiString& text, AnsiString& host, int& port)
{
    const auto colon = text.rfind(':');
    if (colon == AnsiString::npos || colon == 0)
        return false;
    host = text.substr(0, colon);
    const AnsiString digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5)
        return false;
    port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return false;
    if (host.front() == '[')
        return host.size() > 2 && host.back() == ']' &&
               host.find_first_not_of("0123456789abcdefABCDEF:.", 1) == host.size() - 1;
    return host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") ==
           AnsiString::npos;
}

enum class TOption { Silent, Usage, Uninstall, Language, Drive, Variant, Data, ExistingData, Proxy, Log, Count };

struct TOptionName {
    const char* Name;
    TOption Option;
    bool TakesValue;
};
constexpr TOptionName Names[] = {
    {"S", TOption::Silent, false},        {"?", TOption::Usage, false},
    {"UNINSTALL", TOption::Uninstall, false}, {"LANG", TOption::Language, true},
    {"DRIVE", TOption::Drive, true},      {"VARIANT", TOption::Variant, true},
    {"DATA", TOption::Data, true},        {"EXISTINGDATA", TOption::ExistingData, false},
    {"PROXY", TOption::Proxy, true},      {"LOG", TOption::Log, true},
};

// Sets the option's value; false when the value is not one it takes.
bool Apply(TOption option, const AnsiString& value, TSetupOptions& options)
{
    const AnsiString lower = LowerCase(value);
    switch (option) {
    case TOption::Language:
        if (lower != "nl" && lower != "fr")
            return false;
        options.Language = lower;
        return true;
    case TOption::Drive:
        if (!((value.size() == 1 || (value.size() == 2 && value[1] == ':')) && IsLetter(value[0])))
            return false;
        options.Drive = UpperCase(value.substr(0, 1))[0];
        return true;
    case TOption::Variant:
        for (int i = 0; i < int(std::size(VariantCodes)); ++i)
            if (lower == VariantCodes[i]) {
                options.VariantIndex = i;
                options.VariantCode = VariantCodes[i];
                return true;
            }
        return false;
    case TOption::Data:
        if (!IsAbsoluteFolder(value))
            return false;
        options.DataFolder = value;
        return true;
    case TOption::Proxy:
        if (!ParseProxy(value, options.ProxyServer, options.ProxyPort))
            return false;
        options.UseProxy = true;
        return true;
    case TOption::Log:
        if (!IsAbsoluteFolder(value) || value.back() == '\\')
            return false;
        options.LogPath = value;
        return true;
    case TOption::Silent:
        options.Silent = true;
        return true;
    case TOption::Usage:
        options.Mode = TSetupMode::Usage;
        return true;
    case TOption::Uninstall:
        options.Mode = TSetupMode::Uninstall;
        return true;
    case TOption::ExistingData:
        options.ExistingData = true;
        return true;
    case TOption::Count:
        break;
    }
    return false;
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<AnsiString>& args)
{
    TCommandLine result;
    TSetupOptions& options = result.Options;
    bool seen[int(TOption::Count)] = {};
    auto fail = [&](TCommandLineFault fault, const AnsiString& option, const AnsiString& value) {
        result.Fault = fault;
        result.Option = option;
        result.Value = value;
        return result;
    };
    // The first fault is the one reported; the options after it are still
    // read, so that its message goes to the /LOG= file in the /LANG= language.
    auto note = [&](TCommandLineFault fault, const AnsiString& option, const AnsiString& value) {
        if (result.Ok())
            fail(fault, option, value);
    };
    for (const AnsiString& arg : args) {
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) {
            note(TCommandLineFault::UnknownOption, arg, {});
            continue;
        }
        const auto equals = arg.find('=');
        const AnsiString name = arg.substr(0, equals);
        const AnsiString key = UpperCase(name.substr(1));
        const TOptionName* known = nullptr;
        for (const TOptionName& candidate : Names)
            if (key == candidate.Name)
                known = &candidate;
        if (!known) {
            note(TCommandLineFault::UnknownOption, name, {});
            continue;
        }
        if (seen[int(known->Option)]) {
            note(TCommandLineFault::Repeated, name, {});
            continue;
        }
        seen[int(known->Option)] = true;
        const AnsiString value = equals == AnsiString::npos ? AnsiString() : arg.substr(equals + 1);
        if (!known->TakesValue && equals != AnsiString::npos)
            note(TCommandLineFault::NoValueTaken, name, value);
        else if (known->TakesValue && value.empty())
            note(TCommandLineFault::MissingValue, name, {});
        else if (!Apply(known->Option, value, options))
            note(TCommandLineFault::BadValue, name, value);
    }
    if (!result.Ok())
        return result;
    if (options.Mode == TSetupMode::Usage)
        return result;
    if (options.Mode == TSetupMode::Uninstall) {
        // The uninstaller takes /S and /LOG= only: the rest belongs to an installation.
        for (const TOptionName& option : Names)
            if (seen[int(option.Option)] && option.Option != TOption::Uninstall && option.Option != TOption::Silent &&
                option.Option != TOption::Log)
                return fail(TCommandLineFault::UnknownOption, AnsiString("/") + option.Name, {});
        return result;
    }
    if (options.Silent) {
        options.Mode = TSetupMode::Unattended;
        return result;
    }
    // Choices without /S would be half taken by a wizard that asks for them
    // all again: refused rather than silently dropped.
    for (const TOptionName& option : Names)
        if (seen[int(option.Option)])
            return fail(TCommandLineFault::NeedsSilent, AnsiString("/") + option.Name, {});
    return result;
}

namespace {
// One line of the usage: the option (its placeholder translated), a tab, what it does.
AnsiString UsageLine(const char16_t* option, const char16_t* meaning)
{
    return Translated(option) + "\t" + Translated(meaning) + "\r\n";
}
} // namespace

AnsiString UsageText()
{
    return Translated(u"Gebruik: Setup.exe [/S [opties]] | /UNINSTALL [/S] [/LOG=bestand] | /?") + "\r\n\r\n" +
           UsageLine(u"/S", u"installeren zonder venster en zonder vragen") +
           UsageLine(u"/LANG=nl|fr", u"de taal (standaard nl)") +
           UsageLine(u"/DRIVE=C", u"de schijf van de installatiemap X:\\KORVANT07\\") +
           UsageLine(u"/VARIANT=benl|nl|befr", u"de versie van de gegevens (standaard benl)") +
           UsageLine(u"/DATA=map", u"de gegevensmap (standaard X:\\KORVANT07\\DATA07)") +
           UsageLine(u"/EXISTINGDATA", u"de gegevens gebruiken die al in de gegevensmap staan") +
           UsageLine(u"/PROXY=host:poort", u"de proxyserver") + UsageLine(u"/LOG=bestand", u"het logbestand") +
           UsageLine(u"/UNINSTALL", u"KORVANT verwijderen; uw gegevens en instellingen blijven bewaard") + "\r\n" +
           Translated(u"Afsluitcodes: 0 geïnstalleerd, 1 downloaden, controleren of uitpakken mislukt, "
                      u"2 ongeldige opdrachtregel, 3 gegevensmap zonder gegevens (met /EXISTINGDATA) of met "
                      u"gegevens (zonder), 4 programma in gebruik, 5 te weinig schijfruimte, 6 geannuleerd.");
}

AnsiString CommandLineFaultText(const TCommandLine& commandLine)
{
    const char* option = commandLine.Option.c_str();
    AnsiString message;
    switch (commandLine.Fault) {
    case TCommandLineFault::None:
        return {};
    case TCommandLineFault::UnknownOption:
        message = Format(Translated(u"Onbekende optie: %s").c_str(), option);
        break;
    case TCommandLineFault::BadValue:
        message = Format(Translated(u"Ongeldige waarde voor %s: %s").c_str(), option, commandLine.Value.c_str());
        break;
    case TCommandLineFault::MissingValue:
        message = Format(Translated(u"De optie %s vraagt een waarde (%s=...).").c_str(), option, option);
        break;
    case TCommandLineFault::NoValueTaken:
        message = Format(Translated(u"De optie %s neemt geen waarde.").c_str(), option);
        break;
    case TCommandLineFault::Repeated:
        message = Format(Translated(u"De optie %s staat er meer dan eens.").c_str(), option);
        break;
    case TCommandLineFault::NeedsSilent:
        message = Format(Translated(u"De optie %s geldt alleen met /S.").c_str(), option);
        break;
    }
    return message + "\r\n\r\n" + UsageText();
}
