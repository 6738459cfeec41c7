#include "converter/converter_strings.h"

#include <atomic>
#include <cstdio>
#include <map>

#include "platform/core/codepage.h"

namespace conv {

namespace {

std::atomic<int> gLanguageOffset{kLanguageEnglish};

const char kCantCreateEn[] =
    "Can't create %s.\n\nThis file may be in use by another application. If not, you may have tried to write to "
    "a CD-ROM or a write-protected area, or your TEMP environment variable may not point to a valid directory.";
const char kCantCreateDe[] =
    "%s kann nicht angelegt werden.\n\nDie Datei wird vielleicht von einer anderen Anwendung benutzt. Sonst haben "
    "Sie versucht, auf eine CD-ROM oder einen schreibgesch\xFCtzten Bereich zu schreiben, oder Ihre "
    "Umgebungsvariable TEMP zeigt nicht auf ein g\xFCltiges Verzeichnis.";
const char kCantCreateEs[] =
    "No se puede crear %s.\n\nEs posible que otra aplicaci\xF3n est\xE9 usando este archivo. Si no es as\xED, "
    "quiz\xE1 ha intentado escribir en un CD-ROM o en una zona protegida contra escritura, o su variable de "
    "entorno TEMP no apunta a un directorio v\xE1lido.";

struct Entry {
    int id;
    const char* english;
    const char* german;
    const char* spanish;
};

// Texts are Windows-1252.
const Entry kStrings[] = {
    {1, "Scanning keywords", "Stichw\xF6rter werden gelesen", "Leyendo palabras clave"},
    {2, "Converting bitmaps", "Bilder werden umgewandelt", "Convirtiendo im\xE1genes"},
    {3, "Extracting baggage", "Zusatzdateien werden ausgelesen", "Extrayendo archivos adjuntos"},
    {4, "Reading context file", "Kontextdatei wird gelesen", "Leyendo archivo de contextos"},
    {5, "Creating [MAP]", "[MAP] wird erstellt", "Creando [MAP]"},
    {6, "Scanning browse sequences", "Bl\xE4tterfolgen werden gelesen", "Leyendo secuencias de exploraci\xF3n"},
    {7, "Reading topics", "Themen werden gelesen", "Leyendo temas"},
    {8, "Loading system file", "Systemdatei wird geladen", "Cargando archivo de sistema"},
    {10, "Lookup for topic offset 0x%08lX for MAP failed",
     "Thema an Position 0x%08lX f\xFCr MAP nicht gefunden",
     "No se encontr\xF3 el tema de la posici\xF3n 0x%08lX para MAP"},
    {11, "Illegal hotspot data", "Ung\xFCltige Hotspot-Daten", "Datos de zona activa no v\xE1lidos"},
    {12, "Illegal secondary window number reference 0x%02x",
     "Ung\xFCltiger Verweis auf Nebenfenster Nummer 0x%02x",
     "Referencia no v\xE1lida a la ventana secundaria n\xFAmero 0x%02x"},
    {13, "Illegal font selection", "Ung\xFCltige Schriftauswahl", "Selecci\xF3n de fuente no v\xE1lida"},
    {14, "Illegal macro hotspot", "Ung\xFCltiger Makro-Hotspot", "Zona activa de macro no v\xE1lida"},
    {15, "Hotspotend without hotspotstart", "Hotspot-Ende ohne Hotspot-Anfang",
     "Fin de zona activa sin inicio de zona activa"},
    {16, "Illegal bitmap reference 0x%04x", "Ung\xFCltiger Bildverweis 0x%04x",
     "Referencia de imagen no v\xE1lida 0x%04x"},
    {17, "Table formatting not supported", "Diese Tabellenformatierung wird nicht unterst\xFCtzt",
     "Formato de tabla no admitido"},
    {19, "Topic #%ld does not have a context ID", "Thema #%ld hat keine Kontext-ID",
     "El tema #%ld no tiene ID de contexto"},
    {20, "Unknown topic link record type %d", "Unbekannter Thema-Satztyp %d",
     "Tipo de registro de tema desconocido %d"},
    {21, "Phrase header: expected size 0x%08lX, found 0x%08lX",
     "Phrasenkopf: erwartete Gr\xF6\xDF" "e 0x%08lX, gefunden 0x%08lX",
     "Cabecera de frases: tama\xF1o esperado 0x%08lX, encontrado 0x%08lX"},
    {31, kCantCreateEn, kCantCreateDe, kCantCreateEs},
    {32, "Invalid .SHG or .MRB file! Type: %c%c", "Ung\xFCltige .SHG- oder .MRB-Datei! Typ: %c%c",
     "\xA1" "Archivo .SHG o .MRB no v\xE1lido! Tipo: %c%c"},
    {33, "Unknown sfImageType value 0x%x in file %s.SHG.", "Unbekannter sfImageType-Wert 0x%x in Datei %s.SHG.",
     "Valor de sfImageType desconocido 0x%x en el archivo %s.SHG."},
    {34, "File created by %s. handling incomplete", "Datei von %s erstellt. Verarbeitung unvollst\xE4ndig",
     "Archivo creado por %s. Tratamiento incompleto"},
    {35, "created with Rendlow file format converter", "erstellt mit dem Dateiformat-Konverter Rendlow",
     "creado con el conversor de formatos Rendlow"},
    {36, "Page {\\field{\\*\\fldinst page }} of {\\field{\\*\\fldinst numpages }}",
     "Seite {\\field{\\*\\fldinst page }} von {\\field{\\*\\fldinst numpages }}",
     "P\xE1gina {\\field{\\*\\fldinst page }} de {\\field{\\*\\fldinst numpages }}"},
    {37, "\\paperw11906", "\\paperw11906\\paperh16838", "\\paperw11906\\paperh16838"},
    {38, "Contents", "Inhalt", "Contenido"},
    {39, "Index", "Index", "\xCDndice"},
    {40, " \xBBPage", " \xBBSeite", " \xBBP\xE1gina"},
    {46, "Illegal phrase reference", "Ung\xFCltiger Phrasenverweis", "Referencia de frase no v\xE1lida"},
    {47, "Damaged help file: %s", "Besch\xE4\x64igte Hilfedatei: %s", "Archivo de ayuda da\xF1\x61\x64o: %s"},
    {48, "Localization file %s could not be created; written as %s instead",
     "Lokalisierungsdatei %s konnte nicht angelegt werden; stattdessen als %s geschrieben",
     "No se pudo crear el archivo de localizaci\xF3n %s; se ha escrito como %s"},
    {49, "%s is too short", "%s ist zu kurz", "%s es demasiado corto"},
    {50, "bad header in %s", "fehlerhafter Kopf in %s", "cabecera incorrecta en %s"},
    {51, "%s runs past the end of its file", "%s reicht \xFC" "ber das Ende seiner Datei hinaus",
     "%s sobrepasa el final de su archivo"},
    {52, "bad compressed data in %s", "fehlerhafte komprimierte Daten in %s", "datos comprimidos incorrectos en %s"},
    {53, "%s is incomplete", "%s ist unvollst\xE4ndig", "%s est\xE1 incompleto"},
    {54, "text in %s longer than its buffer", "Text in %s l\xE4nger als sein Puffer",
     "texto de %s m\xE1s largo que su b\xFA" "fer"},
    {55, "broken record chain in %s", "unterbrochene Satzkette in %s", "cadena de registros rota en %s"},
    {56, "Picture %s refused: its header does not match its data",
     "Bild %s abgelehnt: sein Kopf passt nicht zu seinen Daten",
     "Imagen %s rechazada: su cabecera no corresponde a sus datos"},
    {57, "Picture %s cut to %ld rows: its header promises more than its data holds",
     "Bild %s auf %ld Zeilen gek\xFCrzt: sein Kopf verspricht mehr, als seine Daten enthalten",
     "Imagen %s recortada a %ld filas: su cabecera promete m\xE1s de lo que contienen sus datos"},
    {58, "Picture %s left out: the pictures of this file exceed the size allowed",
     "Bild %s ausgelassen: die Bilder dieser Datei \xFC" "berschreiten die erlaubte Gr\xF6\xDF" "e",
     "Imagen %s omitida: las im\xE1genes de este archivo superan el tama\xF1o permitido"},
    {59, "%s written as %s: another file of this conversion has its name",
     "%s als %s geschrieben: eine andere Datei dieser Umwandlung hat ihren Namen",
     "%s escrito como %s: otro archivo de esta conversi\xF3n tiene su nombre"},
    {61, "Abort the conversion?", "Umwandlung abbrechen?", "\xBF" "Cancelar la conversi\xF3n?"},
    {62, "Rendlow Severe Problem", "Rendlow: schwerer Fehler", "Rendlow: problema grave"},
    {63, "Conversion complete", "Umwandlung abgeschlossen", "Conversi\xF3n terminada"},
    {64, "%s (%ld times)", "%s (%ld-mal)", "%s (%ld veces)"},
};

const std::map<int, const char*>& Table() {
    static const std::map<int, const char*> table = [] {
        std::map<int, const char*> t;
        for (const Entry& e : kStrings) {
            t[e.id] = e.english;
            t[e.id + kLanguageGerman] = e.german;
            t[e.id + kLanguageSpanish] = e.spanish;
        }
        return t;
    }();
    return table;
}

}  // namespace

void SetLanguageOffset(int offset) {
    if (offset != kLanguageGerman && offset != kLanguageSpanish) offset = kLanguageEnglish;
    gLanguageOffset = offset;
}

int LanguageOffset() { return gLanguageOffset; }

int LanguageOffsetFor(std::string_view code) {
    std::string upper;
    for (char c : code) upper += static_cast<char>(plat::CharUpper(static_cast<unsigned char>(c)));
    if (upper == "DEU") return kLanguageGerman;
    if (upper == "ESP" || upper == "ESN") return kLanguageSpanish;
    return kLanguageEnglish;
}

std::string LoadStringResource(int fullId) {
    auto it = Table().find(fullId);
    if (it == Table().end()) return "String Id not found";
    return it->second;
}

std::string LoadLocalString(int id) { return LoadStringResource(id + LanguageOffset()); }

std::string FormatWithArgs(std::string_view format, const std::vector<WarningArg>& args) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        // Collect flags, width and precision as written; drop the length
        // modifiers, which only say how wide the value is.
        std::string spec = "%";
        std::size_t j = i + 1;
        while (j < format.size() && std::string_view("-+ #0").find(format[j]) != std::string_view::npos) spec += format[j++];
        while (j < format.size() && ((format[j] >= '0' && format[j] <= '9') || format[j] == '.')) spec += format[j++];
        int bits = 32;
        if (j < format.size() && format[j] == 'h') {
            bits = 16;
            ++j;
        } else if (j + 1 < format.size() && format[j] == 'l' && format[j + 1] == 'l') {
            bits = 64;
            j += 2;
        } else if (j < format.size() && format[j] == 'l') {
            ++j;
        }
        if (j >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        const char type = format[j];
        i = j;
        if (type == '%') {
            out += '%';
            continue;
        }
        if (std::string_view("diuxXcs").find(type) == std::string_view::npos) {
            out.append(spec).push_back(type);  // not ours: keep it as written
            continue;
        }
        if (next >= args.size()) continue;
        const WarningArg& a = args[next++];
        char buf[128];
        if (type == 's') {
            std::string text = a.stringId ? FormatWithArgs(LoadLocalString(a.stringId), a.inner)
                               : a.isText ? a.text
                                          : std::to_string(a.number);
            // Width and precision by hand: the text may be longer than any buffer.
            std::size_t k = 1;
            bool left = false;
            while (k < spec.size() && std::string_view("-+ #0").find(spec[k]) != std::string_view::npos)
                left |= spec[k++] == '-';
            std::size_t width = 0, precision = std::string::npos;
            while (k < spec.size() && spec[k] >= '0' && spec[k] <= '9') width = width * 10 + static_cast<std::size_t>(spec[k++] - '0');
            if (k < spec.size() && spec[k] == '.') {
                precision = 0;
                while (++k < spec.size() && spec[k] >= '0' && spec[k] <= '9')
                    precision = precision * 10 + static_cast<std::size_t>(spec[k] - '0');
            }
            if (text.size() > precision) text.resize(precision);
            const std::string pad(width > text.size() ? width - text.size() : 0, ' ');
            out += left ? text + pad : pad + text;
            continue;
        }
        if (a.isText) {
            out += a.text;
            continue;
        }
        if (type == 'c') {
            out += static_cast<char>(a.number & 0xFF);
            continue;
        }
        std::uint64_t u = static_cast<std::uint64_t>(a.number);
        if (bits < 64) u &= (std::uint64_t{1} << bits) - 1;
        if (type == 'd' || type == 'i') {
            std::int64_t v = static_cast<std::int64_t>(u);
            if (bits < 64 && (u >> (bits - 1)) & 1) v -= std::int64_t{1} << bits;  // back to signed
            spec += "lld";
            std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<long long>(v));
        } else {
            spec += "ll";
            spec += type;
            std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<unsigned long long>(u));
        }
        out += buf;
    }
    return out;
}

std::string FormatWarning(const HelpWarning& warning) {
    std::string line = FormatWithArgs(LoadLocalString(warning.number), warning.args);
    return line.substr(0, line.find('\n'));
}

std::size_t WarningTally::Add(const std::string& line) {
    const auto [it, added] = index_.try_emplace(line, rows_.size());
    if (added) rows_.push_back({line, 0});
    ++rows_[it->second].count;
    return it->second;
}

std::string TalliedLine(const WarningTally::Row& row) {
    if (row.count <= 1) return row.text;
    return FormatWithArgs(LoadLocalString(kTextRepeatedWarning),
                          {row.text, static_cast<unsigned long long>(row.count)});
}

}  // namespace conv
