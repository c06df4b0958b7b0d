<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>bildoro</name>
    <message>
        <source>'%1' is not a valid integer</source>
        <translation>'%1' ist kein gültiger Integerwert</translation>
    </message>
    <message>
        <source>load</source>
        <translation>Laden</translation>
    </message>
    <message>
        <source>capture</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>width</source>
        <translation>Breite</translation>
    </message>
    <message>
        <source>reduce</source>
        <translation>Verkleinerung</translation>
    </message>
    <message>
        <source>preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>check</source>
        <translation>Prüfung</translation>
    </message>
    <message>
        <source>An address without a scheme is not loaded (only http:, https: and file:)</source>
        <translation>Adresse ohne Schema wird nicht geladen (nur http:, https: und file:)</translation>
    </message>
    <message>
        <source>An address with the scheme %1: is not loaded (only http:, https: and file:)</source>
        <translation>Adresse mit Schema %1: wird nicht geladen (nur http:, https: und file:)</translation>
    </message>
    <message>
        <source>The picture name contains control characters (%1)</source>
        <translation>Der Bildname enthält Steuerzeichen (%1)</translation>
    </message>
    <message>
        <source>The picture name "%1" starts with "/" and leads out of the output folder</source>
        <translation>Der Bildname "%1" beginnt mit "/" und führt aus dem Ausgabeordner hinaus</translation>
    </message>
    <message>
        <source>The picture name "%1" uses ".." and leads out of the output folder</source>
        <translation>Der Bildname "%1" führt mit ".." aus dem Ausgabeordner hinaus</translation>
    </message>
    <message>
        <source>No output folder given</source>
        <translation>Kein Speicherort angegeben</translation>
    </message>
    <message>
        <source>The page could not be saved as "%1"</source>
        <translation>Die Seite konnte nicht als "%1" gespeichert werden</translation>
    </message>
    <message>
        <source>No answer from "%1" within %2 s</source>
        <translation>Keine Antwort von "%1" innerhalb von %2 s</translation>
    </message>
    <message>
        <source>The server answered HTTP %1 (unavailable for now)</source>
        <translation>Der Server antwortete mit HTTP %1 (vorübergehend nicht verfügbar)</translation>
    </message>
    <message>
        <source>The page does not answer (a script of the page runs without end)</source>
        <translation>Die Seite antwortet nicht (ein Skript der Seite läuft ohne Ende)</translation>
    </message>
    <message>
        <source>The picture is missing after processing</source>
        <translation>Das Bild fehlt nach der Verarbeitung</translation>
    </message>
    <message>
        <source>(standard input)</source>
        <translation>(Standardeingabe)</translation>
    </message>
    <message>
        <source>File %1 cannot be opened. %2</source>
        <translation>Datei %1 kann nicht geöffnet werden. %2</translation>
    </message>
    <message>
        <source>Text exceeds the list's capacity</source>
        <translation>Text überschreitet Memo-Kapazität</translation>
    </message>
    <message>
        <source>File "%1" cannot be created. %2</source>
        <translation>Datei "%1" kann nicht erstellt werden. %2</translation>
    </message>
</context>
</TS>