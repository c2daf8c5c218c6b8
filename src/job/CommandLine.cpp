#include "job/CommandLine.h"

#include <charconv>
#include <utility>
#include <vector>

namespace skyhaul::job {

namespace {

constexpr std::string_view kHelp = R"(Uporaba: skyhaul [MOŽNOST]... [--] [UKAZ]...

Skyhaul brez nadzora prenaša datoteke na strežnik FTP in z njega, kot ga
zaganja razporejevalnik (cron, systemd). Nastavitve bere iz ftpjob.ini v mapi
programa ali iz datoteke, ki jo poda --settings; vsako preneseno datoteko
zapiše v SKYHAUL.log v delovni mapi.

Ukaz: argumenti, združeni s presledki v eno besedilo, seznam, ločen z vejicami.
  maska,smer[,DEL]          maska z * in ?; smer DOWN prenaša s strežnika,
                            vse drugo na strežnik; DEL po prenosu pobriše
                            vsak izvor
  odsek[,maska,smer[,DEL]]  odsek nastavitev s polnim FTPURL, za ukazom še
                            njegovi shranjeni ukazi prenos1..prenos20
  Podpičje konča seznam; " ali ' obdajata vejico ali podpičje. Brez ukaza
  Skyhaul vpraša zanj (v terminalu le, ko je standardni vhod terminal).

Primeri:
  skyhaul '*.txt,UP,DEL'          naloži *.txt na strežnik, pobriše izvore
  skyhaul '*.zip,DOWN'            prenese *.zip s strežnika
  skyhaul nocna                   odsek [nocna] z njegovimi shranjenimi ukazi
  skyhaul 'nocna,*.csv,DOWN,DEL'  odsek [nocna], najprej ta ukaz
  skyhaul --settings /etc/skyhaul/nocna.ini nocna
  skyhaul --dry-run nocna         preizkus posla: kaj bi se preneslo
  skyhaul -- '--dnevno.csv,UP'    ukaz, ki se začne z "--"

Možnosti (le pred ukazom):
  -h, --help             izpiše ta navodila
  --version              izpiše različico
  --settings DATOTEKA    nastavitve iz DATOTEKE namesto iz ftpjob.ini v mapi
                         programa (tudi --settings=DATOTEKA; relativna pot
                         velja od delovne mape); če je ni, status 2
  --dry-run              poskusni zagon, tako preizkusite nov posel: prebere
                         nastavitve, se poveže in prijavi, preveri obe mapi
                         in na standardni izhod izpiše, katere datoteke bi
                         vsak ukaz prenesel (ime, velikost, smer, ali bi se
                         izvor izbrisal) in katere programe run1..run20 bi
                         zagnal; ničesar ne prenese, ne izbriše, ne zapiše
                         v dnevnik in ne zažene, ne čaka; izhodni status
                         kot pri pravem zagonu
  --verbose              vse vrstice stanja na standardno napako tudi brez
                         terminala, in še: povezovanje, prijava, koliko
                         imen je vsak ukaz našel in vzel, konec
  --json DATOTEKA        ob koncu zagona zapiše zapis o njem (JSON) v
                         DATOTEKO (tudi --json=DATOTEKA; ali ključ json=
                         v odseku)
  --metrics DATOTEKA     ob koncu zagona zapiše metrike za zbiralnik
                         textfile programa node_exporter (tudi
                         --metrics=DATOTEKA; ali ključ metrike= v odseku)
  --                     konec možnosti: kar sledi, je ukaz
  Argument, ki se začne z enim "-" (maska -x.txt,UP), je že ukaz.

Spremenljivke okolja:
  SKYHAUL_UI=window|console  okno ali terminal; privzeto okno, ko je
                             nastavljen DISPLAY ali WAYLAND_DISPLAY
  SKYHAUL_TIMEOUT=SEKUNDE    meja vsakega čakanja na strežnik, od 1 do 86400;
                             privzeto 60
  SKYHAUL_VERBOSE=1          kot --verbose (sicer brez terminala le to, kar
                             terja ukrepanje)
  SKYHAUL_SYSLOG_SOCKET=POT  vrstica ob koncu zagona gre v to vtičnico
                             syslog namesto v dnevnik sistema (za teste in
                             diagnostiko; dnevnik=0 v odseku jo izklopi)

Izhodni status:
  0   opravilo je teklo do konca
  1   datoteka ni uspela niti v tretjem poskusu; nič za njo se ni izvedlo
  2   opravilo je končala napaka, ki je ne obravnava (v dnevnik ni mogoče
      pisati, izvora ni mogoče pobrisati, naknadnega programa ni mogoče
      zagnati), ali pa se zaradi nastavitev ni niti začelo (datoteke iz
      --settings ni, IZBRANO imenuje odsek, ki ga ni, lokalne mape ni);
      vzrok je izpisan na standardni napaki
  3   končal ga je uporabnik (»Zapri« ali zaprtje okna), ali pa se je zaslon
      okna izgubil; datoteka v prenosu ostane nedokončana
  4   povezave ob začetku ni bilo mogoče vzpostaviti (ime ni razrešeno,
      povezava zavrnjena ali čas potekel, prijava zavrnjena, rokovanje TLS
      ali potrdilo zavrnjeno); naknadni programi run1..run20 so se vseeno
      zagnali
  5   drug zagon istega opravila (ista datoteka nastavitev in isti odsek)
      že teče; nič ni bilo storjeno
  6   opravilo je teklo do konca, a seznama datotek na strežniku ni bilo
      mogoče dobiti (mape ni, ni berljiva, povezava za podatke ali čas
      potekel); ukaz brez seznama ni prenesel ničesar
  64  napačna uporaba (neznana možnost, --settings, --json ali --metrics
      brez datoteke ali vrednost možnosti, ki je ne sprejme)

Več: man skyhaul
)";

// The options, one row each. An option with a value takes it as the next word or after "=".
struct Option {
  std::string_view name;
  std::string_view shortName;  // "" when there is none
  const char* valueName;       // for the usage error when the value is missing; nullptr: none
  void (*apply)(StartRequest& request, std::string value);
};

constexpr Option kOptions[] = {
    {"--help", "-h", nullptr, [](StartRequest& r, std::string) { r.action = StartAction::Help; }},
    {"--version", "", nullptr,
     [](StartRequest& r, std::string) { r.action = StartAction::Version; }},
    {"--settings", "", "datoteka",
     [](StartRequest& r, std::string file) { r.settingsPath = std::move(file); }},
    {"--dry-run", "", nullptr, [](StartRequest& r, std::string) { r.dryRun = true; }},
    {"--verbose", "", nullptr, [](StartRequest& r, std::string) { r.verbose = true; }},
    {"--json", "", "datoteka",
     [](StartRequest& r, std::string file) { r.jsonPath = std::move(file); }},
    {"--metrics", "", "datoteka",
     [](StartRequest& r, std::string file) { r.metricsPath = std::move(file); }},
};

// The option `word` names, itself or with "=value" behind its long name; nullptr for none.
const Option* findOption(std::string_view word) {
  for (const Option& option : kOptions) {
    if (word == option.name || (!option.shortName.empty() && word == option.shortName)) {
      return &option;
    }
    if (word.starts_with(option.name) && word.size() > option.name.size() &&
        word[option.name.size()] == '=') {
      return &option;
    }
  }
  return nullptr;
}

StartRequest usageError(std::string message) {
  StartRequest request;
  request.action = StartAction::UsageError;
  request.message = "skyhaul: " + std::move(message) + " (navodila: skyhaul --help)";
  return request;
}

std::string joined(std::vector<std::string>::const_iterator first,
                   std::vector<std::string>::const_iterator last) {
  std::string text;
  for (auto word = first; word != last; ++word) {
    if (word != first) text += ' ';
    text += *word;
  }
  return text;
}

}  // namespace

StartRequest parseCommandLine(int argc, const char* const* argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  StartRequest request;
  auto argument = arguments.begin();
  for (; argument != arguments.end(); ++argument) {
    const std::string& word = *argument;
    if (word == "--") {
      ++argument;
      break;
    }
    if (!word.starts_with("-") || word == "-") break;
    const Option* option = findOption(word);
    // A mask such as "-x.txt,UP" starts the job command like any other word.
    if (option == nullptr && !word.starts_with("--")) break;
    if (option == nullptr) return usageError("neznana možnost \"" + word + "\"");
    std::string value;
    if (option->valueName != nullptr) {
      const auto equals = word.find('=');
      if (equals != std::string::npos) {
        value = word.substr(equals + 1);
      } else if (++argument != arguments.end()) {
        value = *argument;
      }
      if (value.empty()) {
        return usageError("možnosti " + std::string(option->name) + " manjka " + option->valueName);
      }
    } else if (word.find('=') != std::string::npos) {
      return usageError("možnost " + std::string(option->name) + " ne sprejme vrednosti");
    }
    option->apply(request, std::move(value));
    // Help and version decide at once, whatever else the line holds.
    if (request.action != StartAction::Run) {
      StartRequest answer;
      answer.action = request.action;
      return answer;
    }
  }
  request.commandLine = joined(argument, arguments.end());
  return request;
}

platform::ExitStatus answerWithoutRunning(const StartRequest& request, std::string_view version,
                                          std::ostream& out, std::ostream& errors) {
  switch (request.action) {
    case StartAction::Help:
      out << kHelp;
      break;
    case StartAction::Version:
      out << "skyhaul " << version << '\n';
      break;
    case StartAction::UsageError:
      errors << request.message << '\n';
      return platform::ExitStatus::UsageError;
    case StartAction::Run:
      break;
  }
  out.flush();
  return platform::ExitStatus::Completed;
}

std::optional<std::chrono::milliseconds> parseTimeout(std::string_view text) {
  constexpr double kShortest = 1;
  constexpr double kLongest = 86400;
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc{} || end != text.data() + text.size() || !(seconds >= kShortest) ||
      !(seconds <= kLongest)) {
    return std::nullopt;
  }
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

}  // namespace skyhaul::job
