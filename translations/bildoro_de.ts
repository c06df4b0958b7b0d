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
        <source>An address without a scheme is not loaded (only http:, https:, file:, data: and about:blank)</source>
        <translation>Adresse ohne Schema wird nicht geladen (nur http:, https:, file:, data: und about:blank)</translation>
    </message>
    <message>
        <source>An address with the scheme %1: is not loaded (only http:, https:, file:, data: and about:blank)</source>
        <translation>Adresse mit Schema %1: wird nicht geladen (nur http:, https:, file:, data: und about:blank)</translation>
    </message>
    <message>
        <source>Not a regular file</source>
        <translation>Keine reguläre Datei</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>The output folder &quot;%1&quot; does not exist</source>
        <translation>Der Ausgabeordner &quot;%1&quot; existiert nicht</translation>
    </message>
    <message>
        <source>The output folder &quot;%1&quot; cannot be used: %2</source>
        <translation>Der Ausgabeordner &quot;%1&quot; kann nicht verwendet werden: %2</translation>
    </message>
    <message>
        <source>The output folder &quot;%1&quot; is not a folder</source>
        <translation>Der Ausgabeordner &quot;%1&quot; ist kein Ordner</translation>
    </message>
    <message>
        <source>The output folder &quot;%1&quot; cannot be made: &quot;%2&quot; is not a folder</source>
        <translation>Der Ausgabeordner &quot;%1&quot; kann nicht angelegt werden: &quot;%2&quot; ist kein Ordner</translation>
    </message>
    <message>
        <source>The output folder &quot;%1&quot; cannot be written: %2</source>
        <translation>In den Ausgabeordner &quot;%1&quot; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The output folder &quot;%1&quot; cannot be made in &quot;%2&quot;: %3</source>
        <translation>Der Ausgabeordner &quot;%1&quot; kann in &quot;%2&quot; nicht angelegt werden: %3</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>Die Datei oder das Verzeichnis konnte nicht gefunden werden</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>Dateisystem nur lesbar</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>Kein freier Speicherplatz auf dem Gerät vorhanden</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>Speicherkontingent überschritten</translation>
    </message>
    <message>
        <source>File too large</source>
        <translation>Datei zu groß</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>Kein Ordner</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>Ist ein Ordner</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>Dateiname zu lang</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <translation>Zu viele Ebenen symbolischer Verknüpfungen</translation>
    </message>
    <message>
        <source>Cannot open &quot;%1&quot;: %2</source>
        <translation>&quot;%1&quot; kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Cannot read &quot;%1&quot;: %2</source>
        <translation>&quot;%1&quot; kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Cannot create &quot;%1&quot;: %2</source>
        <translation>&quot;%1&quot; kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Cannot write &quot;%1&quot;: %2</source>
        <translation>&quot;%1&quot; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>the file is too large for a picture</source>
        <translation>die Datei ist für ein Bild zu groß</translation>
    </message>
    <message>
        <source>The picture name &quot;%1&quot; leads out of the output folder through a symbolic link</source>
        <translation>Der Bildname &quot;%1&quot; führt über eine symbolische Verknüpfung aus dem Ausgabeordner hinaus</translation>
    </message>
    <message>
        <source>Name not found</source>
        <translation>Name nicht gefunden</translation>
    </message>
    <message>
        <source>Name lookup failed</source>
        <translation>Namensauflösung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Connection refused</source>
        <translation>Verbindung abgelehnt</translation>
    </message>
    <message>
        <source>Connection reset</source>
        <translation>Verbindung zurückgesetzt</translation>
    </message>
    <message>
        <source>Connection closed</source>
        <translation>Verbindung geschlossen</translation>
    </message>
    <message>
        <source>Connection failed</source>
        <translation>Verbindung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>Zeitüberschreitung der Verbindung</translation>
    </message>
    <message>
        <source>Timed out</source>
        <translation>Zeitüberschreitung</translation>
    </message>
    <message>
        <source>Address unreachable</source>
        <translation>Adresse nicht erreichbar</translation>
    </message>
    <message>
        <source>No network connection</source>
        <translation>Keine Netzwerkverbindung</translation>
    </message>
    <message>
        <source>The server sent nothing</source>
        <translation>Der Server hat nichts gesendet</translation>
    </message>
    <message>
        <source>Too many redirects</source>
        <translation>Zu viele Weiterleitungen</translation>
    </message>
    <message>
        <source>Loading was broken off (a download, or no page)</source>
        <translation>Laden abgebrochen (ein Download oder keine Seite)</translation>
    </message>
    <message>
        <source>File not found</source>
        <translation>Datei nicht gefunden</translation>
    </message>
    <message>
        <source>Access denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>Invalid address</source>
        <translation>Ungültige Adresse</translation>
    </message>
    <message>
        <source>Port not allowed</source>
        <translation>Port nicht erlaubt</translation>
    </message>
    <message>
        <source>Secure connection failed</source>
        <translation>Sichere Verbindung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Certificate not trusted</source>
        <translation>Zertifikat nicht vertrauenswürdig</translation>
    </message>
    <message>
        <source>Certificate for another name</source>
        <translation>Zertifikat für einen anderen Namen</translation>
    </message>
    <message>
        <source>Certificate expired or not yet valid</source>
        <translation>Zertifikat abgelaufen oder noch nicht gültig</translation>
    </message>
    <message>
        <source>Blocked by the server</source>
        <translation>Vom Server blockiert</translation>
    </message>
    <message>
        <source>The server answered with an error</source>
        <translation>Der Server hat mit einem Fehler geantwortet</translation>
    </message>
    <message>
        <source>Network error</source>
        <translation>Netzwerkfehler</translation>
    </message>
    <message>
        <source>Chromium quit right after its start: </source>
        <translation>Chromium wurde gleich nach dem Start beendet: </translation>
    </message>
    <message>
        <source>Chromium could not open a page (%1): %2</source>
        <translation>Chromium konnte keine Seite öffnen (%1): %2</translation>
    </message>
    <message>
        <source>The page was closed by Chromium while showing &quot;%1&quot;</source>
        <translation>Die Seite wurde von Chromium geschlossen, während sie &quot;%1&quot; zeigte</translation>
    </message>
    <message>
        <source>The page crashed in Chromium while showing &quot;%1&quot;</source>
        <translation>Die Seite ist in Chromium abgestürzt, während sie &quot;%1&quot; zeigte</translation>
    </message>
    <message>
        <source>The same picture as row %1</source>
        <translation>Dasselbe Bild wie Zeile %1</translation>
    </message>
    <message>
        <source>A local file (file:) is loaded only when local files are allowed (--allow-files)</source>
        <translation>Eine lokale Datei (file:) wird nur geladen, wenn lokale Dateien erlaubt sind (--allow-files)</translation>
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
    <message>
        <source>wait</source>
        <translation>Warten</translation>
    </message>
    <message>
        <source>A header is not of the form "Name: value" (its text is not repeated here: it may hold a secret)</source>
        <translation>Eine Kopfzeile hat nicht die Form „Name: Wert“ (ihr Text wird hier nicht wiederholt: er kann ein Geheimnis enthalten)</translation>
    </message>
    <message>
        <source>The header "%1" holds a line break or other control character</source>
        <translation>Die Kopfzeile "%1" enthält einen Zeilenumbruch oder ein anderes Steuerzeichen</translation>
    </message>
    <message>
        <source>A cookie is not of the form NAME=VALUE (its text is not repeated here: it may hold a secret)</source>
        <translation>Ein Cookie hat nicht die Form NAME=WERT (sein Text wird hier nicht wiederholt: er kann ein Geheimnis enthalten)</translation>
    </message>
    <message>
        <source>The cookie %1 holds a ";" or a control character</source>
        <translation>Das Cookie %1 enthält ein ";" oder ein Steuerzeichen</translation>
    </message>
    <message>
        <source>%1, line %2: not a cookie line (domain, subdomains, path, secure, expiry, name and value, separated by tabs)</source>
        <translation>%1, Zeile %2: keine Cookie-Zeile (Domain, Subdomains, Pfad, sicher, Ablauf, Name und Wert, durch Tabulatoren getrennt)</translation>
    </message>
    <message>
        <source>The credentials are not of the form USER:PASSWORD</source>
        <translation>Die Anmeldung hat nicht die Form BENUTZER:PASSWORT</translation>
    </message>
    <message>
        <source>The credentials hold a control character</source>
        <translation>Die Anmeldung enthält ein Steuerzeichen</translation>
    </message>
    <message>
        <source>The proxy is not an address of the form http://, https:// or socks5:// with a host and a port, and no user or password</source>
        <translation>Der Proxy ist keine Adresse der Form http://, https:// oder socks5:// mit Host und Port, ohne Benutzer und Passwort</translation>
    </message>
    <message>
        <source>"%1" is not a list of widths in pixels (for example 160,640)</source>
        <translation>"%1" ist keine Liste von Breiten in Pixeln (zum Beispiel 160,640)</translation>
    </message>
    <message>
        <source>The width %1 is given twice</source>
        <translation>Die Breite %1 ist zweimal angegeben</translation>
    </message>
    <message>
        <source>An empty selector selects nothing</source>
        <translation>Ein leerer Selektor wählt nichts aus</translation>
    </message>
    <message>
        <source>The selector is longer than 1000 characters</source>
        <translation>Der Selektor ist länger als 1000 Zeichen</translation>
    </message>
    <message>
        <source>The selector "%1" holds a control character</source>
        <translation>Der Selektor "%1" enthält ein Steuerzeichen</translation>
    </message>
    <message>
        <source>"%1" is not a CSS selector: "%2" closes nothing</source>
        <translation>"%1" ist kein CSS-Selektor: "%2" schließt nichts</translation>
    </message>
    <message>
        <source>"%1" is not a CSS selector: "%2" has no place in one</source>
        <translation>"%1" ist kein CSS-Selektor: "%2" hat darin keinen Platz</translation>
    </message>
    <message>
        <source>"%1" is not a CSS selector: a bracket or quote does not close</source>
        <translation>"%1" ist kein CSS-Selektor: eine Klammer oder ein Anführungszeichen schließt nicht</translation>
    </message>
    <message>
        <source>"%1" is not a CSS selector: it ends in the middle</source>
        <translation>"%1" ist kein CSS-Selektor: er endet mittendrin</translation>
    </message>
    <message>
        <source>"%1" did not appear within %2 s</source>
        <translation>"%1" ist nicht innerhalb von %2 s erschienen</translation>
    </message>
    <message>
        <source>"%1" could not be waited for: %2</source>
        <translation>Auf "%1" konnte nicht gewartet werden: %2</translation>
    </message>
    <message>
        <source>"%1" cannot be read: %2</source>
        <translation>"%1" kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>larger than 64 MiB</source>
        <translation>größer als 64 MiB</translation>
    </message>
    <message>
        <source>the earlier report &quot;%1&quot; cannot be read: %2</source>
        <translation>der frühere Bericht „%1“ kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>The page used more than %1 MiB of memory (%2 MiB); it was ended</source>
        <translation>Die Seite brauchte mehr als %1 MiB Speicher (%2 MiB); sie wurde beendet</translation>
    </message>
</context>
<context>
    <name>bildoro-batch</name>
    <message>
        <source>the failed list "%1" cannot be written: %2</source>
        <translation>die Fehlerliste "%1" kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source> (an empty folder would mean the file system's root)</source>
        <translation> (ein leerer Ordner wäre die Wurzel des Dateisystems)</translation>
    </message>
    <message>
        <source>the output folder "%1" cannot be made</source>
        <translation>der Ausgabeordner "%1" kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>no Chromium found (looked for chromium, chromium-browser and google-chrome on PATH; set BILDORO_CHROMIUM to use another)</source>
        <translation>kein Chromium gefunden (gesucht: chromium, chromium-browser und google-chrome im PATH; BILDORO_CHROMIUM nennt ein anderes)</translation>
    </message>
    <message>
        <source>Chromium "%1" (from BILDORO_CHROMIUM) is not an executable program</source>
        <translation>Chromium "%1" (aus BILDORO_CHROMIUM) ist kein ausführbares Programm</translation>
    </message>
    <message>
        <source>running as root, so Chromium runs without its sandbox: a hostile page that breaks into the browser has the rights of root. Run as a normal user to keep the sandbox.</source>
        <translation>läuft als root, daher läuft Chromium ohne seine Sandbox: eine feindliche Seite, die in den Browser einbricht, hat die Rechte von root. Als normaler Benutzer gestartet behält Chromium seine Sandbox.</translation>
    </message>
    <message>
        <source>trying %1 rows again in %2 s</source>
        <translation>%1 Zeilen werden in %2 s erneut versucht</translation>
    </message>
    <message>
        <source>the list has no rows</source>
        <translation>die Liste hat keine Einträge</translation>
    </message>
    <message>
        <source>%1 rows: %2 ok, %3 failed</source>
        <translation>%1 Zeilen: %2 ok, %3 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, %1 skipped</source>
        <translation>, %1 übersprungen</translation>
    </message>
    <message>
        <source>Try 'bildoro-batch --help'.</source>
        <translation>Siehe 'bildoro-batch --help'.</translation>
    </message>
    <message>
        <source>Turns a list of web pages into thumbnail pictures in one batch.
LIST is a list file (one 'URL;picture name' per line) or - for standard input.</source>
        <translation>Macht aus einer Liste von Webseiten Vorschaubilder in einem Durchgang.
LIST ist eine Listendatei (eine Zeile 'URL;Bildname' je Eintrag) oder - für die Standardeingabe.</translation>
    </message>
    <message>
        <source>The list file.</source>
        <translation>Die Listendatei.</translation>
    </message>
    <message>
        <source>Output folder for the pictures.</source>
        <translation>Ausgabeordner für die Bilder.</translation>
    </message>
    <message>
        <source>Capture size: 1280x1024, 1024x768 (default) or 800x600.</source>
        <translation>Aufnahmegröße: 1280x1024, 1024x768 (Vorgabe) oder 800x600.</translation>
    </message>
    <message>
        <source>Thumbnail width (default 320).</source>
        <translation>Breite der Vorschaubilder (Vorgabe 320).</translation>
    </message>
    <message>
        <source>Longest wait for a page in seconds (default %1).</source>
        <translation>Längste Wartezeit für eine Seite in Sekunden (Vorgabe %1).</translation>
    </message>
    <message>
        <source>Longest wait after a page has loaded for its requests still under way and its web fonts, in milliseconds (0-60000, default 2000).</source>
        <translation>Längste Wartezeit nach dem Laden einer Seite auf ihre noch laufenden Anfragen und ihre Webschriften, in Millisekunden (0-60000, Vorgabe 2000).</translation>
    </message>
    <message>
        <source>Leave cookie-consent dialogs as they are (by default they are refused, or hidden, before the capture).</source>
        <translation>Cookie-Zustimmungsdialoge so lassen, wie sie sind (sonst werden sie vor der Aufnahme abgelehnt oder ausgeblendet).</translation>
    </message>
    <message>
        <source>Pages loading at once: 1-32, or auto (default: from one to eight per core, more while the cores have time to spare, fewer when they or --memory-limit run out).</source>
        <translation>Gleichzeitig ladende Seiten: 1-32, oder auto (Vorgabe: eine bis acht je Kern, mehr, solange die Kerne Zeit übrig haben, weniger, wenn sie oder --memory-limit nicht mehr reichen).</translation>
    </message>
    <message>
        <source>Only print each row and the file it would write.</source>
        <translation>Nur jede Zeile und die Datei ausgeben, die sie schreiben würde.</translation>
    </message>
    <message>
        <source>Reduce the given JPEG files in place to WIDTH pixels.</source>
        <translation>Die angegebenen JPEG-Dateien an Ort und Stelle auf WIDTH Pixel verkleinern.</translation>
    </message>
    <message>
        <source>Write one JSON line per row as it ends to FILE.</source>
        <translation>Für jede beendete Zeile eine JSON-Zeile nach FILE schreiben.</translation>
    </message>
    <message>
        <source>Skip the rows that the --report file already records as done; append to it.</source>
        <translation>Zeilen überspringen, die die --report-Datei schon als erledigt führt; an sie anhängen.</translation>
    </message>
    <message>
        <source>Try a row that failed for a passing reason up to N more times (0-10, default 1).</source>
        <translation>Eine aus vorübergehendem Grund fehlgeschlagene Zeile bis zu N weitere Male versuchen (0-10, Vorgabe 1).</translation>
    </message>
    <message>
        <source>Write the rows that failed to FILE, as a list file.</source>
        <translation>Die fehlgeschlagenen Zeilen als Listendatei nach FILE schreiben.</translation>
    </message>
    <message>
        <source>Take only the rows i with i mod N = K - 1 (K from 1 to N).</source>
        <translation>Nur die Zeilen i mit i mod N = K - 1 nehmen (K von 1 bis N).</translation>
    </message>
    <message>
        <source>How pictures are reduced: exact (default; the program's own bilinear resampler, byte for byte as always) or smooth (anti-aliased: text stays legible on thumbnails).</source>
        <translation>Wie Bilder verkleinert werden: exact (Vorgabe; der eigene bilineare Resampler, Byte für Byte wie immer) oder smooth (geglättet: Text bleibt auf Vorschaubildern lesbar).</translation>
    </message>
    <message>
        <source>unknown filter '%1' (exact or smooth)</source>
        <translation>unbekannter Filter '%1' (exact oder smooth)</translation>
    </message>
    <message>
        <source>--shrink needs at least one file</source>
        <translation>--shrink braucht mindestens eine Datei</translation>
    </message>
    <message>
        <source>expected exactly one list file</source>
        <translation>genau eine Listendatei erwartet</translation>
    </message>
    <message>
        <source>the output folder (-o FOLDER) is missing</source>
        <translation>der Ausgabeordner (-o FOLDER) fehlt</translation>
    </message>
    <message>
        <source>--shard needs K/N with 1 &lt;= K &lt;= N, e.g. 2/8</source>
        <translation>--shard braucht K/N mit 1 &lt;= K &lt;= N, z. B. 2/8</translation>
    </message>
    <message>
        <source>unknown resolution '%1'</source>
        <translation>unbekannte Auflösung '%1'</translation>
    </message>
    <message>
        <source>--jobs needs a number from 1 to %1, or auto</source>
        <translation>--jobs braucht eine Zahl von 1 bis %1, oder auto</translation>
    </message>
    <message>
        <source>--settle-ms needs a number from 0 to 60000</source>
        <translation>--settle-ms braucht eine Zahl von 0 bis 60000</translation>
    </message>
    <message>
        <source>fonts are missing (install %1): pages in Chinese, Japanese or Korean, or with emoji, may show boxes instead of text</source>
        <translation>Schriften fehlen (%1 installieren): Seiten auf Chinesisch, Japanisch oder Koreanisch oder mit Emoji zeigen womöglich Kästchen statt Text</translation>
    </message>
    <message>
        <source>--retry needs a number from 0 to 10</source>
        <translation>--retry braucht eine Zahl von 0 bis 10</translation>
    </message>
    <message>
        <source>--resume needs --report FILE (the report of the run to go on with)</source>
        <translation>--resume braucht --report FILE (den Bericht des Laufs, der fortgesetzt wird)</translation>
    </message>
    <message>
        <source>the report "%1" %2: %3</source>
        <translation>der Bericht "%1" %2: %3</translation>
    </message>
    <message>
        <source>cannot be read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>the thumbnail width must be at least 1 pixel, not %1</source>
        <translation>die Breite der Vorschaubilder muss mindestens 1 Pixel sein, nicht %1</translation>
    </message>
    <message>
        <source>reduced to %1 x %2</source>
        <translation>verkleinert auf %1 x %2</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>die Datei ist leer</translation>
    </message>
    <message>
        <source>left unchanged (%1 x %2 is not wider than %3)</source>
        <translation>unverändert (%1 x %2 ist nicht breiter als %3)</translation>
    </message>
    <message>
        <source>the folder could not be made; the file is unchanged</source>
        <translation>der Ordner konnte nicht angelegt werden; die Datei ist unverändert</translation>
    </message>
    <message>
        <source> %1 ok, %2 failed</source>
        <translation> %1 ok, %2 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, %1 pages/min</source>
        <translation>, %1 Seiten/min</translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation>, noch %1</translation>
    </message>
    <message>
        <source>interrupted; to go on later without doing the done rows again, run with --report FILE --resume</source>
        <translation>abgebrochen; um später ohne die erledigten Zeilen weiterzumachen, mit --report DATEI --resume starten</translation>
    </message>
    <message>
        <source>interrupted; run the same command with --resume to go on</source>
        <translation>abgebrochen; zum Weitermachen denselben Befehl mit --resume starten</translation>
    </message>
    <message>
        <source>Load the list's file: rows (local files). Without it they fail: a list from others could otherwise make you publish a picture of a local file.</source>
        <translation>Die file:-Zeilen der Liste (lokale Dateien) laden. Ohne diese Option schlagen sie fehl: Eine Liste von anderen könnte sonst dazu führen, dass Sie ein Bild einer lokalen Datei veröffentlichen.</translation>
    </message>
    <message>
        <source>--width needs at least 1 pixel, not %1</source>
        <translation>--width braucht mindestens 1 Pixel, nicht %1</translation>
    </message>
    <message>
        <source>--timeout needs a number of seconds above 0, at most %1</source>
        <translation>--timeout braucht eine Zahl von Sekunden über 0, höchstens %1</translation>
    </message>
    <message>
        <source>would be reduced to %1 x %2 (dry run)</source>
        <translation>würde auf %1 x %2 verkleinert (Probelauf)</translation>
    </message>
    <message>
        <source>would be left unchanged (%1 x %2 is not wider than %3)</source>
        <translation>bliebe unverändert (%1 x %2 ist nicht breiter als %3)</translation>
    </message>
    <message>
        <source>With --resume: skip the rows the report records as done even when their pictures are no longer in the output folder (taken elsewhere after each run).</source>
        <translation>Mit --resume: die Zeilen, die der Bericht als erledigt nennt, auch dann überspringen, wenn ihre Bilder nicht mehr im Ausgabeordner liegen (nach jedem Lauf anderswohin gebracht).</translation>
    </message>
    <message>
        <source>--pictures-moved needs --resume</source>
        <translation>--pictures-moved braucht --resume</translation>
    </message>
    <message>
        <source>; %1 changed, %2 unchanged, %3 new, %4 failed now but ok before</source>
        <translation>; %1 geändert, %2 unverändert, %3 neu, %4 jetzt fehlgeschlagen, vorher ok</translation>
    </message>
    <message>
        <source>, %1 vanished</source>
        <translation>, %1 verschwunden</translation>
    </message>
    <message>
        <source>%1 pages look like row %2 (%3)</source>
        <translation>%1 Seiten sehen aus wie Zeile %2 (%3)</translation>
    </message>
    <message>
        <source>--change-distance needs a number from 0 to 64</source>
        <translation>--change-distance braucht eine Zahl von 0 bis 64</translation>
    </message>
    <message>
        <source>--group-distance needs a number from 0 to 32</source>
        <translation>--group-distance braucht eine Zahl von 0 bis 32</translation>
    </message>
    <message>
        <source>Compare each row with the report of an earlier run: changed or not, new, and the rows that vanished from the list.</source>
        <translation>Jede Zeile mit dem Bericht eines früheren Laufs vergleichen: geändert oder nicht, neu, und die Zeilen, die aus der Liste verschwunden sind.</translation>
    </message>
    <message>
        <source>A page counts as changed when its picture hash differs from the earlier one in more than N of 64 bits (default %1).</source>
        <translation>Eine Seite gilt als geändert, wenn sich ihr Bild-Hash vom früheren in mehr als N von 64 Bits unterscheidet (Vorgabe %1).</translation>
    </message>
    <message>
        <source>Pages whose picture hashes differ in at most N bits look alike and share a group (default %1).</source>
        <translation>Seiten, deren Bild-Hashes sich in höchstens N Bits unterscheiden, sehen gleich aus und teilen eine Gruppe (Vorgabe %1).</translation>
    </message>
    <message>
        <source>Write a report page to FILE: every thumbnail with its result, filters and a search, in one HTML file.</source>
        <translation>Eine Berichtsseite nach FILE schreiben: jedes Vorschaubild mit seinem Ergebnis, Filtern und einer Suche, in einer HTML-Datei.</translation>
    </message>
    <message>
        <source>Memory in MiB that --jobs auto keeps the browser and its pages within (default: half the machine's).</source>
        <translation>Speicher in MiB, in dem --jobs auto den Browser und seine Seiten hält (Vorgabe: die Hälfte des Rechners).</translation>
    </message>
    <message>
        <source>At most N pages of one host at once (default 2; 0: no limit; servers on this machine have none).</source>
        <translation>Höchstens N Seiten eines Hosts gleichzeitig (Vorgabe 2; 0: keine Grenze; Server auf diesem Rechner haben keine).</translation>
    </message>
    <message>
        <source>A page whose renderer takes more than MIB of memory is ended and its row fails (default %1; 0: no limit).</source>
        <translation>Eine Seite, deren Renderer mehr als MIB Speicher nimmt, wird beendet, und ihre Zeile schlägt fehl (Vorgabe %1; 0: keine Grenze).</translation>
    </message>
    <message>
        <source>--memory-limit needs at least 256 (MiB)</source>
        <translation>--memory-limit braucht mindestens 256 (MiB)</translation>
    </message>
    <message>
        <source>--per-host needs a number from 0 to %1</source>
        <translation>--per-host braucht eine Zahl von 0 bis %1</translation>
    </message>
    <message>
        <source>--page-memory needs 0 or at least 64 (MiB)</source>
        <translation>--page-memory braucht 0 oder mindestens 64 (MiB)</translation>
    </message>
</context>
</TS>