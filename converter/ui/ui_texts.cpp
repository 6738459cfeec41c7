#include "converter/ui/ui_texts.h"

#include <map>
#include <utility>

#include "converter/converter_strings.h"
#include "platform/core/codepage.h"

namespace conv::ui {

namespace {

struct Text {
    int dialog;
    int control;
    const char* english;
    const char* german;
    const char* spanish;
};

// The dialog resources. Texts are UTF-8 here (the string table of the
// conversion itself stays Windows-1252 for its RTF output).
// Controls that show together have distinct Alt letters in each language.
const Text kTexts[] = {
    // The wizard: caption, file page, button bar.
    {7000, 0, "Rendlow", "Rendlow", "Rendlow"},
    {7000, kIdHeading, "Select input file", "Eingabedatei auswählen", "Seleccionar archivo de entrada"},
    {7000, kIdDescription,
     "Choose one or more help files. Hold Ctrl to choose several, or type several names, each in "
     "double quotes. Scan lists the help files below a folder.",
     "Wählen Sie eine oder mehrere Hilfedateien. Mit gedrückter Strg-Taste wählen Sie mehrere, oder "
     "Sie tippen mehrere Namen, jeden in Anführungszeichen. Suchen listet die Hilfedateien unter einem Ordner.",
     "Elija uno o varios archivos de ayuda. Mantenga pulsada Ctrl para elegir varios, o escriba varios "
     "nombres, cada uno entre comillas. Buscar lista los archivos de ayuda bajo una carpeta."},
    {7000, kIdLookInLabel, "&Look in:", "&Suchen in:", "&Buscar en:"},
    {7000, kIdFolderUp, "&Up", "Nach &oben", "Sub&ir"},
    {7000, kIdFileNameLabel, "File &name:", "Datei&name:", "&Nombre de archivo:"},
    {7000, kIdFileTypeLabel, "Files of &type:", "Datei&typ:", "&Tipo de archivo:"},
    {7000, kIdScan, "&Scan", "Su&chen", "B&uscar"},
    {7000, kIdOk, "C&onvert", "&Umwandeln", "C&onvertir"},
    {7000, kIdCancel, "Clos&e", "Schl&ießen", "&Cerrar"},
    {7000, kIdContinue, "&Continue >>", "&Weiter >>", "&Siguiente >>"},
    {7000, kIdBack, "<< &Back", "<< &Zurück", "<< &Atrás"},
    {7000, kIdHelp, "&Help", "&Hilfe", "A&yuda"},
    // Page 0.
    {7001, kIdHeading, "Welcome to Rendlow", "Willkommen bei Rendlow", "Bienvenido a Rendlow"},
    {7001, kIdDescription,
     "Rendlow turns compiled help files (.HLP, .MVB, .M13) into a print-ready RTF document, or into "
     "source files that the help compiler can build again.\n\nThe next pages ask which files to convert "
     "and how. Click Continue to begin.",
     "Rendlow macht aus kompilierten Hilfedateien (.HLP, .MVB, .M13) ein druckfertiges RTF-Dokument "
     "oder Quelldateien, die der Hilfe-Compiler wieder übersetzen kann.\n\nDie nächsten Seiten fragen, "
     "welche Dateien wie umgewandelt werden. Klicken Sie auf Weiter.",
     "Rendlow convierte archivos de ayuda compilados (.HLP, .MVB, .M13) en un documento RTF listo para "
     "imprimir, o en archivos fuente que el compilador de ayuda puede volver a compilar.\n\nLas páginas "
     "siguientes preguntan qué archivos convertir y cómo. Pulse Siguiente para empezar."},
    {7001, kIdVersion, "V2.12", "V2.12", "V2.12"},
    // Page 2.
    {7002, kIdHeading, "Select output format", "Ausgabeformat wählen", "Seleccionar formato de salida"},
    {7002, kIdDescription,
     "Rendlow can prepare a document for reading and printing, or recreate the source code of the help "
     "file so that it can be changed and compiled again.",
     "Rendlow kann ein Dokument zum Lesen und Drucken erstellen oder den Quelltext der Hilfedatei "
     "wiederherstellen, damit sie geändert und neu kompiliert werden kann.",
     "Rendlow puede preparar un documento para leer e imprimir, o recrear el código fuente del archivo de "
     "ayuda para modificarlo y compilarlo de nuevo."},
    {7002, 7202, "Prepare print-ready document", "Druckfertiges Dokument erstellen",
     "Preparar documento listo para imprimir"},
    {7002, 7203, "Prepare recompilable source code", "Neu kompilierbaren Quelltext erstellen",
     "Preparar código fuente recompilable"},
    // Page 3.
    {7003, kIdHeading, "Splitting", "Aufteilen", "División"},
    {7003, kIdDescription,
     "Large help files give large RTF files. Rendlow can split its output into several files of moderate "
     "size.",
     "Große Hilfedateien ergeben große RTF-Dateien. Rendlow kann die Ausgabe auf mehrere mittelgroße "
     "Dateien verteilen.",
     "Los archivos de ayuda grandes dan archivos RTF grandes. Rendlow puede dividir la salida en varios "
     "archivos de tamaño moderado."},
    {7003, 7401, "Create only one RTF file regardless of size", "Nur eine RTF-Datei erstellen, egal wie groß",
     "Crear un solo archivo RTF sea cual sea su tamaño"},
    {7003, 7402, "Split the output into several files", "Ausgabe auf mehrere Dateien aufteilen",
     "Dividir la salida en varios archivos"},
    // Page 4.
    {7004, kIdHeading, "Segmented Hypergraphics", "Segmentierte Hypergrafiken", "Hipergráficos segmentados"},
    {7004, kIdDescription,
     "Pictures with hotspots (segmented hypergraphics) can be kept as SHG files with their hotspots, or "
     "written as plain BMP and WMF pictures.",
     "Bilder mit Hotspots (segmentierte Hypergrafiken) können als SHG-Dateien mit ihren Hotspots bleiben "
     "oder als einfache BMP- und WMF-Bilder geschrieben werden.",
     "Las imágenes con zonas activas (hipergráficos segmentados) pueden conservarse como archivos SHG con "
     "sus zonas activas, o escribirse como imágenes BMP y WMF simples."},
    {7004, 7301, "Extract original SHG files", "Originale SHG-Dateien auslesen", "Extraer los archivos SHG originales"},
    {7004, 7302, "Create BMP and WMF files only", "Nur BMP- und WMF-Dateien erstellen",
     "Crear solo archivos BMP y WMF"},
    // Page 5.
    {7005, kIdHeading, "Page breaks", "Seitenumbrüche", "Saltos de página"},
    {7005, kIdDescription, "Each topic can start on a new page of the document.",
     "Jedes Thema kann auf einer neuen Seite des Dokuments beginnen.",
     "Cada tema puede empezar en una página nueva del documento."},
    {7005, 7501, "Do not create page breaks", "Keine Seitenumbrüche einfügen", "No crear saltos de página"},
    {7005, 7502, "Create page breaks", "Seitenumbrüche einfügen", "Crear saltos de página"},
    // Page 6.
    {7006, kIdHeading, "Index generation", "Index erstellen", "Generación del índice"},
    {7006, kIdDescription, "Rendlow can build an index of the document from the keywords of the help file.",
     "Rendlow kann aus den Stichwörtern der Hilfedatei einen Index des Dokuments erstellen.",
     "Rendlow puede crear un índice del documento con las palabras clave del archivo de ayuda."},
    {7006, 7411, "Generate an index", "Index erstellen", "Generar un índice"},
    {7006, 7412, "Don't generate an Index", "Keinen Index erstellen", "No generar índice"},
    // Page 7.
    {7007, kIdHeading, "Table of Contents", "Inhaltsverzeichnis", "Tabla de contenido"},
    {7007, kIdDescription, "A table of contents at the start lists every topic with its page number.",
     "Ein Inhaltsverzeichnis am Anfang nennt jedes Thema mit seiner Seitenzahl.",
     "Una tabla de contenido al principio lista cada tema con su número de página."},
    {7007, 7421, "Create TOC", "Inhaltsverzeichnis erstellen", "Crear tabla de contenido"},
    {7007, 7422, "Don't create TOC", "Kein Inhaltsverzeichnis erstellen", "No crear tabla de contenido"},
    // Page 8.
    {7008, kIdHeading, "Embedded window DLL support", "Eingebettete Fenster (DLL)", "Ventanas incrustadas (DLL)"},
    {7008, kIdDescription,
     "Embedded windows are drawn by DLLs while the help runs. Rendlow can take a picture of each one, or "
     "recreate only the tag that names it.",
     "Eingebettete Fenster zeichnet eine DLL, während die Hilfe läuft. Rendlow kann von jedem ein Bild "
     "machen oder nur die Anweisung wiederherstellen, die es nennt.",
     "Las ventanas incrustadas las dibuja una DLL mientras se ejecuta la ayuda. Rendlow puede tomar una "
     "imagen de cada una, o recrear solo la etiqueta que la nombra."},
    {7008, 7601, "Recreate the author-defined {ewx} tag only.", "Nur die {ewx}-Anweisung des Autors wiederherstellen.",
     "Recrear solo la etiqueta {ewx} del autor."},
    {7008, 7602, "Create a 'Snapshot'", "Einen 'Schnappschuss' erstellen", "Crear una 'instantánea'"},
    // Page 9.
    {7009, kIdHeading, "Jumps", "Sprünge", "Saltos"},
    {7009, kIdDescription, "How should the jumps and popups of the help file appear in the document?",
     "Wie sollen die Sprünge und Popups der Hilfedatei im Dokument erscheinen?",
     "¿Cómo deben aparecer en el documento los saltos y las ventanas emergentes del archivo de ayuda?"},
    {7009, 7701, "Make hotspot text in the document appear similar to WinHelp hotspots",
     "Hotspot-Text im Dokument wie Hotspots der Hilfe aussehen lassen",
     "Mostrar el texto de las zonas activas como en la ayuda"},
    {7009, 7707, "Generate page references", "Seitenverweise erzeugen", "Generar referencias de página"},
    {7009, 7702, "Don't show jump/popup hotspots at all", "Sprünge und Popups gar nicht hervorheben",
     "No resaltar saltos ni ventanas emergentes"},
    // Page 10.
    {7011, kIdHeading, "Graphic Representation", "Darstellung der Grafiken", "Representación de los gráficos"},
    {7011, kIdDescription, "Pictures can be part of the RTF file, or separate files next to it.",
     "Bilder können Teil der RTF-Datei sein oder eigene Dateien daneben.",
     "Las imágenes pueden formar parte del archivo RTF o ser archivos separados junto a él."},
    {7011, 7813, "Include graphics as part of the RTF file.", "Grafiken in die RTF-Datei aufnehmen.",
     "Incluir los gráficos en el archivo RTF."},
    {7011, 7814, "Extract graphics as separate files.", "Grafiken als eigene Dateien auslesen.",
     "Extraer los gráficos como archivos separados."},
    // Page 11.
    {7012, kIdHeading, "Localization", "Lokalisierung", "Localización"},
    {7012, kIdDescription,
     "For translators Rendlow can also write a reference file that lists the texts of the help file.",
     "Für Übersetzer kann Rendlow zusätzlich eine Referenzdatei mit den Texten der Hilfedatei schreiben.",
     "Para traductores, Rendlow puede escribir además un archivo de referencia con los textos del archivo "
     "de ayuda."},
    {7012, 7811, "Output localization reference file", "Referenzdatei für die Lokalisierung ausgeben",
     "Generar archivo de referencia para la localización"},
    {7012, 7812, "Generate standard ready-to-print Rendlow output only", "Nur die übliche Ausgabe von Rendlow erzeugen",
     "Generar solo la salida habitual de Rendlow"},
    // Page 12.
    {7010, kIdHeading, "Ready to convert", "Bereit zur Umwandlung", "Listo para convertir"},
    {7010, kIdDescription,
     "Rendlow has all it needs. Click Continue to convert the chosen files into the current folder; a "
     "separate window shows the progress.",
     "Rendlow hat alle Angaben. Klicken Sie auf Weiter, um die gewählten Dateien in den aktuellen Ordner "
     "umzuwandeln; ein eigenes Fenster zeigt den Fortschritt.",
     "Rendlow tiene todo lo necesario. Pulse Siguiente para convertir los archivos elegidos en la carpeta "
     "actual; una ventana aparte muestra el progreso."},
    {7010, kIdReadyNote,
     "At least one of the selected options requires Microsoft Word Version 2.0 or newer to print the "
     "resulting RTF document.",
     "Mindestens eine der gewählten Optionen erfordert Microsoft Word ab Version 2.0, um das erzeugte "
     "RTF-Dokument zu drucken.",
     "Al menos una de las opciones elegidas requiere Microsoft Word versión 2.0 o posterior para imprimir "
     "el documento RTF resultante."},
    // The progress dialog.
    {1539, kIdTitleText, "Help-File conversion ", "Umwandlung der Hilfedatei ", "Conversión del archivo de ayuda "},
    {1539, kIdWarningsLabel, "Warnings:", "Warnungen:", "Advertencias:"},
    {1539, kIdCancel, "&Cancel", "&Abbrechen", "&Cancelar"},
    {1539, kIdOkCaption, "&Ok", "&OK", "&Aceptar"},
    {1539, kIdView, "&View", "A&nzeigen", "&Ver"},
    {1539, kIdAbortTitle, "Rendlow", "Rendlow", "Rendlow"},
    {1539, kIdViewFailed, "The document %1 could not be opened with %2.",
     "Das Dokument %1 konnte nicht mit %2 geöffnet werden.", "No se pudo abrir el documento %1 con %2."},
    {1539, kIdViewerMissing,
     "The program was not found. Name a viewer with the key RtfViewer in Rendlow.ini or the variable "
     "RENDLOW_VIEWER.",
     "Das Programm wurde nicht gefunden. Nennen Sie ein Anzeigeprogramm mit dem Schlüssel RtfViewer in "
     "Rendlow.ini oder der Variablen RENDLOW_VIEWER.",
     "No se encontró el programa. Indique un visor con la clave RtfViewer de Rendlow.ini o la variable "
     "RENDLOW_VIEWER."},
    // The help-file list.
    {8001, 0, "List of helpfiles", "Liste der Hilfedateien", "Lista de archivos de ayuda"},
    {8001, kIdScanFolder, "&Folder:", "O&rdner:", "Ca&rpeta:"},
    {8001, kIdScanBrowse, "&Browse...", "&Durchsuchen...", "&Examinar..."},
    {8001, kIdColumnTitle, "Title", "Titel", "Título"},
    {8001, kIdColumnCopyright, "Copyright", "Copyright", "Copyright"},
    {8001, kIdColumnPath, "Path", "Pfad", "Ruta"},
    {8001, kIdScanDone, "Scan complete: %1 help files found.", "Suche beendet: %1 Hilfedateien gefunden.",
     "Búsqueda terminada: %1 archivos de ayuda encontrados."},
    {8001, kIdOk, "&OK", "&OK", "&Aceptar"},
    {8001, kIdCancel, "&Cancel", "&Abbrechen", "&Cancelar"},
    {8001, kIdListView, "&View", "A&nzeigen", "&Ver"},
};

struct Help {
    const char* english;
    const char* german;
    const char* spanish;
};

// The help of each wizard page (contexts 1001-1013 of the design).
const Help kHelp[] = {
    {"Rendlow converts compiled help files. Click Continue to choose the files, or Close to leave.",
     "Rendlow wandelt kompilierte Hilfedateien um. Klicken Sie auf Weiter, um die Dateien zu wählen, oder "
     "auf Schließen, um zu beenden.",
     "Rendlow convierte archivos de ayuda compilados. Pulse Siguiente para elegir los archivos, o Cerrar para "
     "salir."},
    {"Choose the help files to convert. Several names can be typed, each in double quotes. Continue is "
     "available once every named file opens as a help file; its title is shown below the list. Scan lists "
     "the help files below a folder. Convert starts at once with the options as they stand.",
     "Wählen Sie die Hilfedateien. Mehrere Namen tippen Sie jeweils in Anführungszeichen. Weiter ist möglich, "
     "sobald sich jede genannte Datei als Hilfedatei öffnen lässt; ihr Titel steht unter der Liste. Suchen "
     "listet die Hilfedateien unter einem Ordner. Umwandeln beginnt sofort mit den aktuellen Optionen.",
     "Elija los archivos de ayuda. Puede escribir varios nombres, cada uno entre comillas. Siguiente se "
     "activa cuando todos los archivos nombrados se abren como archivos de ayuda; su título aparece bajo la "
     "lista. Buscar lista los archivos de ayuda bajo una carpeta. Convertir empieza enseguida con las opciones "
     "actuales."},
    {"A print-ready document is one RTF file with contents, index and page headers. Recompilable source code "
     "is a help project (.HPJ) with its RTF files, pictures and baggage files.",
     "Ein druckfertiges Dokument ist eine RTF-Datei mit Inhaltsverzeichnis, Index und Kopfzeilen. Neu "
     "kompilierbarer Quelltext ist ein Hilfeprojekt (.HPJ) mit seinen RTF-Dateien, Bildern und Zusatzdateien.",
     "Un documento listo para imprimir es un archivo RTF con índice, contenido y encabezados. El código fuente "
     "recompilable es un proyecto de ayuda (.HPJ) con sus archivos RTF, imágenes y archivos adjuntos."},
    {"Split files are named after the first six letters of the help file and numbered.",
     "Geteilte Dateien tragen die ersten sechs Buchstaben der Hilfedatei und eine Nummer.",
     "Los archivos divididos llevan las seis primeras letras del archivo de ayuda y un número."},
    {"SHG files keep the hotspots of a picture for the help compiler; BMP and WMF files can be read by any "
     "program but lose the hotspots.",
     "SHG-Dateien behalten die Hotspots eines Bildes für den Hilfe-Compiler; BMP- und WMF-Dateien liest jedes "
     "Programm, aber die Hotspots gehen verloren.",
     "Los archivos SHG conservan las zonas activas para el compilador de ayuda; los BMP y WMF los lee "
     "cualquier programa, pero pierden las zonas activas."},
    {"With page breaks every topic begins on a new page.", "Mit Seitenumbrüchen beginnt jedes Thema auf einer neuen Seite.",
     "Con saltos de página cada tema empieza en una página nueva."},
    {"The index lists the keywords of the help file with the pages of their topics.",
     "Der Index nennt die Stichwörter der Hilfedatei mit den Seiten ihrer Themen.",
     "El índice lista las palabras clave del archivo de ayuda con las páginas de sus temas."},
    {"The table of contents lists the topics with their page numbers.",
     "Das Inhaltsverzeichnis nennt die Themen mit ihren Seitenzahlen.",
     "La tabla de contenido lista los temas con sus números de página."},
    {"A snapshot keeps what an embedded window shows as a picture in the document.",
     "Ein Schnappschuss hält fest, was ein eingebettetes Fenster zeigt, als Bild im Dokument.",
     "Una instantánea guarda como imagen en el documento lo que muestra una ventana incrustada."},
    {"Hotspot text can keep its look from the help, become a page reference, or look like normal text.",
     "Hotspot-Text kann sein Aussehen aus der Hilfe behalten, zum Seitenverweis werden oder wie normaler Text "
     "aussehen.",
     "El texto de las zonas activas puede conservar su aspecto, convertirse en referencia de página o parecer "
     "texto normal."},
    {"Pictures inside the RTF file make one self-contained document; separate files keep it small.",
     "Bilder in der RTF-Datei ergeben ein geschlossenes Dokument; eigene Dateien halten es klein.",
     "Las imágenes dentro del RTF dan un documento completo; los archivos separados lo mantienen pequeño."},
    {"The reference file lies next to the help file and lists each text with a number.",
     "Die Referenzdatei liegt neben der Hilfedatei und nennt jeden Text mit einer Nummer.",
     "El archivo de referencia está junto al archivo de ayuda y lista cada texto con un número."},
    {"Continue converts the chosen files into the current folder. A separate window shows the progress and "
     "any warnings; Cancel there stops the conversion.",
     "Weiter wandelt die gewählten Dateien in den aktuellen Ordner um. Ein eigenes Fenster zeigt den "
     "Fortschritt und Warnungen; Abbrechen dort beendet die Umwandlung.",
     "Siguiente convierte los archivos elegidos en la carpeta actual. Una ventana aparte muestra el progreso y "
     "las advertencias; Cancelar allí detiene la conversión."},
};

const char* Pick(const char* en, const char* de, const char* es) {
    switch (LanguageOffset()) {
    case kLanguageGerman: return de;
    case kLanguageSpanish: return es;
    default: return en;
    }
}

}  // namespace

int DialogId(int base) { return base + LanguageOffset(); }

QString DialogText(int dialogBase, int controlId) {
    static const std::map<std::pair<int, int>, const Text*> table = [] {
        std::map<std::pair<int, int>, const Text*> t;
        for (const Text& e : kTexts) t[{e.dialog, e.control}] = &e;
        return t;
    }();
    auto it = table.find({dialogBase, controlId});
    if (it == table.end()) return {};
    return QString::fromUtf8(Pick(it->second->english, it->second->german, it->second->spanish));
}

QString LocalString(int id) { return QString::fromStdString(plat::AnsiToUtf8(LoadLocalString(id))); }

QString PageHelpText(int page) {
    if (page < 0 || page >= static_cast<int>(std::size(kHelp))) return {};
    const Help& h = kHelp[page];
    return QString::fromUtf8(Pick(h.english, h.german, h.spanish));
}

QString HelpTitle() { return QString::fromUtf8(Pick("Rendlow Help", "Rendlow-Hilfe", "Ayuda de Rendlow")); }

void SetControlId(QWidget* widget, int id) { widget->setProperty("controlId", id); }

int ControlId(const QWidget* widget) {
    const QVariant v = widget->property("controlId");
    return v.isValid() ? v.toInt() : -1;
}

void SetDialogId(QWidget* widget, int base) { widget->setProperty("dialogId", DialogId(base)); }

QWidget* FindControl(QWidget* root, int id) {
    if (!root) return nullptr;
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w) continue;
        if (ControlId(w) == id) return w;
        if (QWidget* found = FindControl(w, id)) return found;
    }
    return nullptr;
}

}  // namespace conv::ui
