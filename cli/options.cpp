#include "cli/options.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace velunt::cli {

const char* const kUsage =
    "Aufruf: velunt-cli [OPTIONEN] [ZEICHNUNG...]\n"
    "Liest velunt.ini und schreibt die Objekte des Objekttyps (masterkey) der\n"
    "DXF-Datei als Tabelle in die Ausgabedatei. Mit ZEICHNUNG(en): jede in ihre\n"
    "eigene Tabelle ZEICHNUNG.txt (neben ihr oder in --out-dir).\n"
    "\n"
    "  --ini DATEI               Konfiguration (Vorgabe: ./velunt.ini, sonst\n"
    "                            $XDG_CONFIG_HOME/velunt/velunt.ini, ohne\n"
    "                            XDG_CONFIG_HOME ~/.config/velunt/velunt.ini)\n"
    "  --dxf DATEI               DXF-Datei (Vorgabe: dxfpath= der Konfiguration)\n"
    "  --txt DATEI               Ausgabedatei (Vorgabe: txtpath= der Konfiguration)\n"
    "  --separator TEXT          Trennzeichen (Vorgabe: trennzeich=)\n"
    "  --decimal-mark TEXT       Dezimalzeichen (Vorgabe: dezzeich=)\n"
    "  --section NAME            nur Objekte im Abschnitt NAME, z. B. ENTITIES\n"
    "                            (Vorgabe: abschnitt=; leer: alle)\n"
    "  --encoding NAME           Tabelle in UTF-8, UTF-8-BOM oder WINDOWS-1252\n"
    "                            (Vorgabe: kodierung=; leer: Bytes wie gelesen)\n"
    "  --quote, --no-quote       Felder mit Trennzeichen oder \" in \"...\" schreiben\n"
    "                            (\" verdoppelt), wie Tabellenprogramme sie lesen;\n"
    "                            bzw. nicht (Vorgabe: anfuehrung=; 1 an, sonst aus)\n"
    "  --replace-decimal-point   den Punkt jeder Zahl durch das Dezimalzeichen\n"
    "                            ersetzen; Texte bleiben, wie sie sind\n"
    "  --no-replace-decimal-point  bzw. nicht (Vorgabe: dezersetzen=; sonst aus)\n"
    "  --shift, --no-shift       Zahlen der Schlüssel 10, 11 um RW, 20, 21 um HW\n"
    "                            verschieben, auch 0; Texte bleiben, wie sie sind;\n"
    "                            bzw. nicht (Vorgabe: verschiebung=; sonst aus)\n"
    "  --rw TEXT                 Verschiebung RW (Vorgabe: rw=; sonst 4400000)\n"
    "  --hw TEXT                 Verschiebung HW (Vorgabe: hw=; sonst 5700000)\n"
    "  --percent-c, --no-percent-c  %%c durch 0 ersetzen bzw. nicht\n"
    "                            (Vorgabe: prozentc=; sonst an)\n"
    "  --counter, --no-counter   Zählerspalte \"Index\" bzw. keine\n"
    "                            (Vorgabe: zaehler=; sonst an)\n"
    "  --out-dir ORDNER          Tabellen der Zeichnungen in diesen Ordner (wird\n"
    "                            angelegt, wenn er fehlt)\n"
    "  --jobs N                  bis zu N Zeichnungen zugleich (Vorgabe: je Kern eine)\n"
    "  -v, --verbose             je Zeichnung eine Zeile: Tabelle und Zahl der Objekte\n"
    "  -h, --help, --version\n"
    "  --                        Ende der Optionen: was folgt, sind Zeichnungen,\n"
    "                            auch wenn sie mit - beginnen\n"
    "\n"
    "Aufruf: velunt-cli --inspect [--masterkey TYP] [--format tsv] ZEICHNUNG\n"
    "  Objekttypen der Zeichnung mit ihrer Anzahl; mit --masterkey die\n"
    "  Gruppencodes der Objekte dieses Typs.\n"
    "Aufruf: velunt-cli --make-ini TYP [--codes 8,10,20,1] ZEICHNUNG\n"
    "  schreibt eine velunt.ini für die Objekte des Typs nach stdout.\n";

ParseResult ParseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    Options& o = result.options;
    struct ValueOption {
        std::string_view name;
        std::string* target;
    };
    std::string ini, dxf, txt, separator, decimalMark, section, encoding, outDir, jobs, masterkey,
        format, makeIni, codes, rw, hw;
    bool hasIni = false, hasDxf = false, hasTxt = false, hasSeparator = false,
         hasDecimalMark = false, hasSection = false, hasEncoding = false;
    bool hasOutDir = false, hasJobs = false;
    bool hasRw = false, hasHw = false;
    const ValueOption valueOptions[] = {
        {"--ini", &ini},
        {"--dxf", &dxf},
        {"--txt", &txt},
        {"--separator", &separator},
        {"--decimal-mark", &decimalMark},
        {"--section", &section},
        {"--encoding", &encoding},
        {"--rw", &rw},
        {"--hw", &hw},
        {"--out-dir", &outDir},
        {"--jobs", &jobs},
        {"--masterkey", &masterkey},
        {"--format", &format},
        {"--make-ini", &makeIni},
        {"--codes", &codes},
    };
    struct Flag {
        std::string_view name;
        bool* target;
        bool value;
    };
    const Flag flags[] = {
        {"--help", &o.help, true}, {"-h", &o.help, true},           {"--verbose", &o.verbose, true},
        {"-v", &o.verbose, true},  {"--version", &o.version, true}, {"--inspect", &o.inspect, true},
    };
    // Switches that override a setting of velunt.ini, each both ways; the
    // last one given wins.
    struct Switch {
        std::string_view on, off;
        std::optional<bool>* target;
    };
    const Switch switches[] = {
        {"--replace-decimal-point", "--no-replace-decimal-point", &o.replaceDecimalPoint},
        {"--shift", "--no-shift", &o.shift},
        {"--percent-c", "--no-percent-c", &o.percentC},
        {"--counter", "--no-counter", &o.counter},
        {"--quote", "--no-quote", &o.quote},
    };

    bool onlyDrawings = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyDrawings || arg.size() < 2 || arg[0] != '-') {
            o.drawings.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyDrawings = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(0, eq);
        bool known = false;
        for (const ValueOption& option : valueOptions) {
            if (name != option.name) continue;
            known = true;
            if (eq != std::string::npos) {
                *option.target = arg.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                *option.target = args[++i];
            } else {
                result.error = "Option „" + arg + "“ braucht einen Wert";
                return result;
            }
            hasIni |= option.target == &ini;
            hasDxf |= option.target == &dxf;
            hasTxt |= option.target == &txt;
            hasSeparator |= option.target == &separator;
            hasDecimalMark |= option.target == &decimalMark;
            hasSection |= option.target == &section;
            hasEncoding |= option.target == &encoding;
            hasOutDir |= option.target == &outDir;
            hasJobs |= option.target == &jobs;
            hasRw |= option.target == &rw;
            hasHw |= option.target == &hw;
            if (option.target == &masterkey) o.masterkey = masterkey;
            if (option.target == &format) o.format = format;
            if (option.target == &makeIni) o.makeIni = makeIni;
            if (option.target == &codes) o.codes = codes;
        }
        for (const Flag& flag : flags) {
            if (arg != flag.name) continue;
            known = true;
            *flag.target = flag.value;
        }
        for (const Switch& s : switches) {
            if (arg != s.on && arg != s.off) continue;
            known = true;
            *s.target = arg == s.on;
        }
        if (!known) {
            result.error = "unbekannte Option „" + arg + "“";
            return result;
        }
    }
    if (hasIni) o.ini = ini;
    if (hasDxf) o.dxf = dxf;
    if (hasTxt) o.txt = txt;
    if (hasSeparator) o.separator = separator;
    if (hasDecimalMark) o.decimalMark = decimalMark;
    if (hasSection) o.section = section;
    if (hasEncoding) o.encoding = encoding;
    if (hasRw) o.rw = rw;
    if (hasHw) o.hw = hw;
    if (hasOutDir) o.outDir = outDir;
    if (hasJobs) {
        int n = 0;
        const auto [end, ec] = std::from_chars(jobs.data(), jobs.data() + jobs.size(), n);
        if (ec != std::errc() || end != jobs.data() + jobs.size() || n < 1 || n > 1024) {
            result.error = "--jobs „" + jobs + "“: erlaubt ist eine Zahl von 1 bis 1024";
            return result;
        }
        o.jobs = n;
    }
    if (o.inspect || o.makeIni) {
        // Checked in cli/drawing_report.cpp.
    } else if (!o.drawings.empty() && (hasDxf || hasTxt)) {
        result.error =
            "Zeichnung „" + o.drawings.front() + "“ und --dxf/--txt schließen einander aus";
    } else if (o.drawings.empty() && (hasOutDir || hasJobs) && !o.help && !o.version) {
        result.error = std::string(hasOutDir ? "--out-dir" : "--jobs") +
                       " gilt nur mit Zeichnungen (velunt-cli --out-dir ORDNER a.dxf b.dxf)";
    }
    return result;
}

}  // namespace velunt::cli
