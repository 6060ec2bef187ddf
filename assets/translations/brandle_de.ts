<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CommandLine</name>
    <message>
        <source>Shows this help and ends.</source>
        <translation>Zeigt diese Hilfe und endet.</translation>
    </message>
    <message>
        <source>Shows the version and ends.</source>
        <translation>Zeigt die Version und endet.</translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos; for more information.</source>
        <translation>Mehr dazu zeigt „%1 --help“.</translation>
    </message>
</context>
<context>
    <name>Errors</name>
    <message>
        <source>Overflow</source>
        <translation>Überlauf</translation>
    </message>
    <message>
        <source>Type mismatch</source>
        <translation>Typen unverträglich</translation>
    </message>
    <message>
        <source>Path/File access error</source>
        <translation>Fehler beim Zugriff auf Pfad/Datei</translation>
    </message>
    <message>
        <source>Required XML element not found</source>
        <translation>Erforderliches XML-Element nicht gefunden</translation>
    </message>
    <message>
        <source>The address is not valid</source>
        <translation>Die Adresse ist ungültig</translation>
    </message>
    <message>
        <source>The download of the specified resource has failed</source>
        <translation>Das Herunterladen der angegebenen Ressource ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>The request could not be made</source>
        <translation>Die Anfrage konnte nicht gestellt werden</translation>
    </message>
    <message>
        <source>The XML document is not well-formed</source>
        <translation>Das XML-Dokument ist nicht wohlgeformt</translation>
    </message>
    <message>
        <source>The style sheet could not be applied</source>
        <translation>Das Stylesheet konnte nicht angewendet werden</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>Internal error</source>
        <translation>Interner Fehler</translation>
    </message>
    <message>
        <source>The answer redirects to an address that is not http or https</source>
        <translation>Die Antwort leitet auf eine Adresse um, die weder http noch https ist</translation>
    </message>
    <message>
        <source>The document is too large</source>
        <translation>Das Dokument ist zu groß</translation>
    </message>
    <message>
        <source>The document declares entities, which are refused</source>
        <translation>Das Dokument deklariert Entitäten, die abgelehnt werden</translation>
    </message>
    <message>
        <source>The document is nested too deeply</source>
        <translation>Das Dokument ist zu tief verschachtelt</translation>
    </message>
    <message>
        <source>The engine schema lists too many engines</source>
        <translation>Das Suchmaschinenschema nennt zu viele Suchmaschinen</translation>
    </message>
    <message>
        <source>The style sheet took too long and was stopped</source>
        <translation>Das Stylesheet brauchte zu lange und wurde angehalten</translation>
    </message>
    <message>
        <source>The style sheet nests its templates too deeply</source>
        <translation>Das Stylesheet verschachtelt seine Vorlagen zu tief</translation>
    </message>
    <message>
        <source>The settings could not be saved</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden</translation>
    </message>
    <message>
        <source>The engine schema cannot be used</source>
        <translation>Das Suchmaschinenschema ist nicht verwendbar</translation>
    </message>
    <message>
        <source>The style sheet&apos;s output is too large</source>
        <translation>Die Ausgabe des Stylesheets ist zu groß</translation>
    </message>
</context>
<context>
    <name>HostStarter</name>
    <message>
        <source>%1: nothing answers at the service host %2, and %3 is not installed</source>
        <translation>%1: Beim Dienst-Host %2 antwortet nichts, und %3 ist nicht installiert</translation>
    </message>
    <message>
        <source>%1: nothing answers at the service host %2; starting %3 (log: %4)</source>
        <translation>%1: Beim Dienst-Host %2 antwortet nichts; %3 wird gestartet (Protokoll: %4)</translation>
    </message>
    <message>
        <source>%1: %2 could not be started: %3</source>
        <translation>%1: %2 ließ sich nicht starten: %3</translation>
    </message>
    <message>
        <source>%1: the service host started at %2 answers; it ends with %1</source>
        <translation>%1: Der unter %2 gestartete Dienst-Host antwortet; er endet mit %1</translation>
    </message>
    <message>
        <source>%1: %2 ended at once (exit status %3)</source>
        <translation>%1: %2 endete sofort (Exit-Status %3)</translation>
    </message>
    <message>
        <source>%1: %2 did not answer within %3 s</source>
        <translation>%1: %2 antwortete nicht innerhalb von %3 s</translation>
    </message>
</context>
<context>
    <name>LinkReportBuilder</name>
    <message>
        <source>%1 days</source>
        <translation>%1 Tage</translation>
    </message>
    <message>
        <source>Link Count</source>
        <translation>Anzahl der Links</translation>
    </message>
    <message>
        <source>Give at most %1 sites, separated by commas.</source>
        <translation>Geben Sie höchstens %1 Sites an, durch Kommas getrennt.</translation>
    </message>
    <message>
        <source>A chart by engine shows one site: give only one.</source>
        <translation>Ein Diagramm nach Suchmaschine zeigt eine Site: Geben Sie nur eine an.</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Summe</translation>
    </message>
</context>
<context>
    <name>LookupRun</name>
    <message>
        <source>the style sheet is not available (HTTP %1)</source>
        <translation>das Stylesheet ist nicht verfügbar (HTTP %1)</translation>
    </message>
    <message>
        <source>the style sheet</source>
        <translation>das Stylesheet</translation>
    </message>
</context>
<context>
    <name>ReportParams</name>
    <message>
        <source>By Date</source>
        <translation>Nach Datum</translation>
    </message>
    <message>
        <source>By Month</source>
        <translation>Nach Monat</translation>
    </message>
    <message>
        <source>( Select a Month )</source>
        <translation>( Monat wählen )</translation>
    </message>
    <message>
        <source>January</source>
        <translation>Januar</translation>
    </message>
    <message>
        <source>February</source>
        <translation>Februar</translation>
    </message>
    <message>
        <source>March</source>
        <translation>März</translation>
    </message>
    <message>
        <source>April</source>
        <translation>April</translation>
    </message>
    <message>
        <source>May</source>
        <translation>Mai</translation>
    </message>
    <message>
        <source>June</source>
        <translation>Juni</translation>
    </message>
    <message>
        <source>July</source>
        <translation>Juli</translation>
    </message>
    <message>
        <source>August</source>
        <translation>August</translation>
    </message>
    <message>
        <source>September</source>
        <translation>September</translation>
    </message>
    <message>
        <source>October</source>
        <translation>Oktober</translation>
    </message>
    <message>
        <source>November</source>
        <translation>November</translation>
    </message>
    <message>
        <source>December</source>
        <translation>Dezember</translation>
    </message>
    <message>
        <source>The dates you entered are either blank or invalid.</source>
        <translation>Die eingegebenen Daten sind leer oder ungültig.</translation>
    </message>
    <message>
        <source>The required date format is MM/DD/YYYY for this report type selection.</source>
        <translation>Für diesen Zeitraum ist das Datumsformat MM/TT/JJJJ erforderlich.</translation>
    </message>
    <message>
        <source>To date cannot exceed the from date.</source>
        <translation>Das Bis-Datum darf nicht vor dem Von-Datum liegen.</translation>
    </message>
    <message>
        <source>You must select a month.</source>
        <translation>Sie müssen einen Monat wählen.</translation>
    </message>
</context>
<context>
    <name>Schema</name>
    <message>
        <source>engine list</source>
        <translation>Suchmaschinenliste</translation>
    </message>
    <message>
        <source>the engine schema</source>
        <translation>das Suchmaschinenschema</translation>
    </message>
    <message>
        <source>the service host answered %1 for the engine schema</source>
        <translation>der Dienst-Host antwortete %1 auf die Anfrage nach dem Suchmaschinenschema</translation>
    </message>
    <message>
        <source>the engine schema is not XML</source>
        <translation>das Suchmaschinenschema ist kein XML</translation>
    </message>
</context>
<context>
    <name>Store</name>
    <message>
        <source>another program keeps it locked</source>
        <translation>ein anderes Programm hält sie gesperrt</translation>
    </message>
    <message>
        <source>its lock file cannot be written</source>
        <translation>ihre Sperrdatei kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>its folder cannot be made</source>
        <translation>ihr Ordner kann nicht angelegt werden</translation>
    </message>
</context>
<context>
    <name>TrayTip</name>
    <message>
        <source>URL: </source>
        <translation>URL: </translation>
    </message>
    <message>
        <source>History %1</source>
        <translation>Verlauf %1</translation>
    </message>
</context>
<context>
    <name>Xml</name>
    <message>
        <source> (line %1)</source>
        <translation> (Zeile %1)</translation>
    </message>
    <message>
        <source>after %1 ms</source>
        <translation>nach %1 ms</translation>
    </message>
    <message>
        <source>more than %1 MiB of page or %2 MiB of memory</source>
        <translation>mehr als %1 MiB Seite oder %2 MiB Speicher</translation>
    </message>
</context>
<context>
    <name>brandle::GraphsTab</name>
    <message>
        <source>Link count chart</source>
        <translation>Diagramm der Linkzahlen</translation>
    </message>
    <message>
        <source>Chart type</source>
        <translation>Diagrammtyp</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>The Chart feature is currently disabled.  To enable it, click on the URL tab and select Enable Logging so that Brandle can collect the data required to chart.</source>
        <translation>Die Diagrammfunktion ist derzeit ausgeschaltet.  Um sie einzuschalten, wechseln Sie zur Registerkarte „Haupt-URL“ und wählen Sie „Protokollierung einschalten“, damit Brandle die Daten für das Diagramm sammeln kann.</translation>
    </message>
    <message>
        <source>Graphing Options</source>
        <translation>Diagrammoptionen</translation>
    </message>
    <message>
        <source>Graph URL</source>
        <translation>Diagramm-URL</translation>
    </message>
    <message>
        <source>Time Span</source>
        <translation>Zeitraum</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Input2</source>
        <translation>Eingabe2</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Anzeigen</translation>
    </message>
    <message>
        <source>MM/DD/YYYY</source>
        <translation>MM/TT/JJJJ</translation>
    </message>
    <message>
        <source>Bar</source>
        <translation>Balken</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>Linie</translation>
    </message>
    <message>
        <source>Area</source>
        <translation>Fläche</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>Stufen</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>Monat</translation>
    </message>
    <message>
        <source>From Date</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To Date</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>By engine</source>
        <translation>Nach Suchmaschine</translation>
    </message>
    <message>
        <source>Chart every engine&apos;s daily average beside the total</source>
        <translation>Den Tagesdurchschnitt jeder Suchmaschine neben der Summe zeigen</translation>
    </message>
    <message>
        <source>Leave out days without a log</source>
        <translation>Tage ohne Protokoll auslassen</translation>
    </message>
    <message>
        <source>Reading the log</source>
        <translation>Protokoll wird gelesen</translation>
    </message>
    <message>
        <source>One site, or up to %1 sites separated by commas</source>
        <translation>Eine Site oder bis zu %1 Sites, durch Kommas getrennt</translation>
    </message>
</context>
<context>
    <name>brandle::LinkChart</name>
    <message>
        <source>Copy Chart</source>
        <translation>Diagramm kopieren</translation>
    </message>
    <message>
        <source>Save Chart as Image…</source>
        <translation>Diagramm als Bild speichern…</translation>
    </message>
    <message>
        <source>Save Data as CSV…</source>
        <translation>Daten als CSV speichern…</translation>
    </message>
    <message>
        <source>Save Chart as Image</source>
        <translation>Diagramm als Bild speichern</translation>
    </message>
    <message>
        <source>PNG images (*.png)</source>
        <translation>PNG-Bilder (*.png)</translation>
    </message>
    <message>
        <source>The chart could not be saved to %1.</source>
        <translation>Das Diagramm konnte nicht unter %1 gespeichert werden.</translation>
    </message>
    <message>
        <source>Save Data as CSV</source>
        <translation>Daten als CSV speichern</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>The data could not be saved to %1.</source>
        <translation>Die Daten konnten nicht unter %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>brandle::LookupDriver</name>
    <message>
        <source>%1: %2 links, up %3 from %4.</source>
        <translation>%1: %2 Links, %3 mehr als zuvor (%4).</translation>
    </message>
    <message>
        <source>%1: %2 links, down %3 from %4.</source>
        <translation>%1: %2 Links, %3 weniger als zuvor (%4).</translation>
    </message>
    <message>
        <source>%1: %2 links, unchanged.</source>
        <translation>%1: %2 Links, unverändert.</translation>
    </message>
    <message>
        <source>A link count is already running. Please wait until it ends.</source>
        <translation>Eine Linkzählung läuft bereits. Bitte warten Sie, bis sie beendet ist.</translation>
    </message>
    <message>
        <source>The engine &quot;%1&quot; could not be reached, so the link count was not updated.</source>
        <translation>Die Suchmaschine „%1“ war nicht erreichbar; die Linkzählung wurde nicht aktualisiert.</translation>
    </message>
    <message>
        <source>The service host %1 could not be reached, so the link count was not updated.</source>
        <translation>Der Dienst-Host %1 war nicht erreichbar; die Linkzählung wurde nicht aktualisiert.</translation>
    </message>
</context>
<context>
    <name>brandle::SingleInstance</name>
    <message>
        <source>Brandle: cannot take the lock %1; going on without it.</source>
        <translation>Brandle: Die Sperre %1 lässt sich nicht setzen; es geht ohne sie weiter.</translation>
    </message>
    <message>
        <source>Brandle: cannot listen on %1: %2</source>
        <translation>Brandle: Auf %1 kann nicht gelauscht werden: %2</translation>
    </message>
    <message>
        <source>Brandle: no private folder for the socket that keeps Brandle to one copy was found (XDG_RUNTIME_DIR is not set or not private, and brandle-&lt;user id&gt; in the temporary folder and in the cache folder belong to someone else or are open to others). This copy runs without that guard.</source>
        <translation>Brandle: Für den Socket, der Brandle auf eine laufende Kopie beschränkt, wurde kein privater Ordner gefunden (XDG_RUNTIME_DIR ist nicht gesetzt oder nicht privat, und brandle-&lt;Benutzerkennung&gt; im temporären Ordner und im Cache-Ordner gehören jemand anderem oder sind für andere offen). Diese Kopie läuft ohne diesen Schutz.</translation>
    </message>
</context>
<context>
    <name>brandle::SourcesTab</name>
    <message>
        <source>Progress of %1</source>
        <translation>Fortschritt von %1</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Testen</translation>
    </message>
    <message>
        <source>Store the key and have the service host ask %1 once for the primary site</source>
        <translation>Den Schlüssel speichern und den Dienst-Host %1 einmal nach der primären Site fragen lassen</translation>
    </message>
    <message>
        <source>Get a key</source>
        <translation>Schlüssel holen</translation>
    </message>
    <message>
        <source>Not enabled: add %1 to &quot;engines&quot; in the service host&apos;s settings file (%2) and start it again.</source>
        <translation>Nicht eingeschaltet: %1 unter &quot;engines&quot; in der Einstellungsdatei des Dienst-Hosts (%2) ergänzen und ihn neu starten.</translation>
    </message>
    <message>
        <source>Loading</source>
        <translation>Lädt</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>%1, serving %2</source>
        <translation>%1, liefert %2</translation>
    </message>
    <message>
        <source>%1, updated %2</source>
        <translation>%1, aktualisiert %2</translation>
    </message>
    <message>
        <source>Off: %1</source>
        <translation>Aus: %1</translation>
    </message>
    <message>
        <source>Last error: %1</source>
        <translation>Letzter Fehler: %1</translation>
    </message>
    <message>
        <source>Stored in the keyring</source>
        <translation>Im Schlüsselbund gespeichert</translation>
    </message>
    <message>
        <source>From the host&apos;s settings file</source>
        <translation>Aus der Einstellungsdatei des Hosts</translation>
    </message>
    <message>
        <source>Paste your key here</source>
        <translation>Schlüssel hier einfügen</translation>
    </message>
    <message>
        <source>Sources of the service host at %1</source>
        <translation>Quellen des Dienst-Hosts unter %1</translation>
    </message>
    <message>
        <source>Services asked with your own key. Keys are stored in your desktop keyring and stay on this machine; the service host reads them there.</source>
        <translation>Dienste, die mit Ihrem eigenen Schlüssel gefragt werden. Die Schlüssel liegen im Schlüsselbund Ihres Desktops und bleiben auf diesem Rechner; der Dienst-Host liest sie dort.</translation>
    </message>
    <message>
        <source>The service host runs on another machine: keys stored here are not its keys. Put them into its own settings file there.</source>
        <translation>Der Dienst-Host läuft auf einem anderen Rechner: Hier gespeicherte Schlüssel sind nicht seine. Tragen Sie sie dort in seine eigene Einstellungsdatei ein.</translation>
    </message>
    <message>
        <source>Bing Webmaster Tools</source>
        <translation>Bing Webmaster Tools</translation>
    </message>
    <message>
        <source>API key</source>
        <translation>API-Schlüssel</translation>
    </message>
    <message>
        <source>Free. Counts the inbound links of the sites verified in your Bing Webmaster account only.</source>
        <translation>Kostenlos. Zählt nur die eingehenden Links der Sites, die in Ihrem Bing-Webmaster-Konto bestätigt sind.</translation>
    </message>
    <message>
        <source>Moz Links API</source>
        <translation>Moz Links API</translation>
    </message>
    <message>
        <source>API token</source>
        <translation>API-Token</translation>
    </message>
    <message>
        <source>Free tier: 50 rows a month and one request every 10 seconds. Each site costs one row a day (answers are kept for a day), so the hourly check of one site needs about 30 rows a month; each Test is one more. Paid plans allow more.</source>
        <translation>Kostenlose Stufe: 50 Zeilen im Monat und eine Anfrage alle 10 Sekunden. Jede Site kostet eine Zeile am Tag (Antworten werden einen Tag aufbewahrt), die stündliche Prüfung einer Site braucht also etwa 30 Zeilen im Monat; jeder Test eine weitere. Bezahlte Tarife erlauben mehr.</translation>
    </message>
    <message>
        <source>DataForSEO Backlinks API</source>
        <translation>DataForSEO Backlinks API</translation>
    </message>
    <message>
        <source>API login</source>
        <translation>API-Login</translation>
    </message>
    <message>
        <source>API password</source>
        <translation>API-Passwort</translation>
    </message>
    <message>
        <source>Paid: about $0.02 per lookup from your DataForSEO balance. Each site is asked at most once a day (answers are kept for a day), so the hourly check of one site costs about $0.60 a month; each Test is one more lookup.</source>
        <translation>Kostenpflichtig: etwa 0,02 $ je Abfrage von Ihrem DataForSEO-Guthaben. Jede Site wird höchstens einmal am Tag gefragt (Antworten werden einen Tag aufbewahrt), die stündliche Prüfung einer Site kostet also etwa 0,60 $ im Monat; jeder Test ist eine weitere Abfrage.</translation>
    </message>
    <message>
        <source>No keyring (Secret Service) answers, so Brandle cannot store keys. Put them into the service host&apos;s settings file instead, one per line, such as &quot;bing-key = YOUR-KEY&quot; (the keys are bing-key, moz-token, dataforseo-login and dataforseo-password), and make the file private: chmod 600 %1</source>
        <translation>Kein Schlüsselbund (Secret Service) antwortet, daher kann Brandle keine Schlüssel speichern. Tragen Sie sie stattdessen in die Einstellungsdatei des Dienst-Hosts ein, einen je Zeile, etwa &quot;bing-key = IHR-SCHLÜSSEL&quot; (die Schlüssel heißen bing-key, moz-token, dataforseo-login und dataforseo-password), und machen Sie die Datei privat: chmod 600 %1</translation>
    </message>
    <message>
        <source>It cannot be reached: %1</source>
        <translation>Er ist nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>It does not tell its sources (HTTP %1).</source>
        <translation>Er nennt seine Quellen nicht (HTTP %1).</translation>
    </message>
    <message>
        <source>Type a primary site on the Main URL tab first: the test looks it up.</source>
        <translation>Geben Sie zuerst auf der Registerkarte Haupt-URL eine primäre Site ein: Der Test fragt nach ihr.</translation>
    </message>
    <message>
        <source>Asking %1 for %2 ...</source>
        <translation>Frage %1 nach %2 ...</translation>
    </message>
    <message>
        <source>The service host could not be reached: %1</source>
        <translation>Der Dienst-Host war nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>The service host does not have %1 enabled.</source>
        <translation>Beim Dienst-Host ist %1 nicht eingeschaltet.</translation>
    </message>
    <message>
        <source>The service host did not take the test (HTTP %1).</source>
        <translation>Der Dienst-Host hat den Test nicht angenommen (HTTP %1).</translation>
    </message>
    <message>
        <source>No count for %1: %2</source>
        <translation>Keine Zahl für %1: %2</translation>
    </message>
    <message>
        <source>%1: at least %2 %3</source>
        <translation>%1: mindestens %2 %3</translation>
    </message>
    <message>
        <source>%1: %2 %3</source>
        <translation>%1: %2 %3</translation>
    </message>
</context>
<context>
    <name>brandle::TrayIcon</name>
    <message>
        <source>&amp;Refresh Count</source>
        <translation>Zählung &amp;aktualisieren</translation>
    </message>
    <message>
        <source>Recall &amp;Count</source>
        <translation>&amp;Letzte Zählung zeigen</translation>
    </message>
    <message>
        <source>&amp;Close Count</source>
        <translation>Zählung &amp;schließen</translation>
    </message>
    <message>
        <source>&amp;URL Settings</source>
        <translation>&amp;Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Quick Graph</source>
        <translation>Schnell&amp;diagramm</translation>
    </message>
    <message>
        <source>&amp;Recent Lookups</source>
        <translation>Letzte Abf&amp;ragen</translation>
    </message>
    <message>
        <source>History %1</source>
        <translation>Verlauf %1</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Brandle: no system tray was found; the icon will be added when one appears. Brandle keeps counting meanwhile.</source>
        <translation>Brandle: Es wurde kein Infobereich (Tray) gefunden; das Symbol erscheint, sobald es einen gibt. Brandle zählt unterdessen weiter.</translation>
    </message>
</context>
<context>
    <name>frmMessage</name>
    <message>
        <source>Close</source>
        <comment>the word on the close picture, 28 pixels wide</comment>
        <translation>Zu</translation>
    </message>
    <message>
        <source>Link count result</source>
        <translation>Ergebnis der Linkzählung</translation>
    </message>
    <message>
        <source>Type URL and click GO</source>
        <translation>URL eingeben, LOS klicken</translation>
    </message>
    <message>
        <source>GO</source>
        <translation>LOS</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>You must provide a URL to perform a link count on.</source>
        <translation>Für eine Linkzählung müssen Sie eine URL angeben.</translation>
    </message>
    <message>
        <source>A count is running.</source>
        <translation>Eine Zählung läuft.</translation>
    </message>
    <message>
        <source>e.g. www.example.com</source>
        <translation>z. B. www.example.com</translation>
    </message>
    <message>
        <source>A link count is already running. Try again when it has ended.</source>
        <translation>Eine Linkzählung läuft bereits. Versuchen Sie es erneut, wenn sie beendet ist.</translation>
    </message>
</context>
<context>
    <name>frmSettings</name>
    <message>
        <source>Brandle - Link Popularity Checker</source>
        <translation>Brandle - Linkpopularität prüfen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Main URL</source>
        <translation>Haupt-URL</translation>
    </message>
    <message>
        <source>Graphs</source>
        <translation>Diagramme</translation>
    </message>
    <message>
        <source>Chec&amp;k</source>
        <translation>&amp;Prüfen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>End Brandle (there is no tray icon to end it from)</source>
        <translation>Brandle beenden (es gibt kein Tray-Symbol, über das es sich beenden ließe)</translation>
    </message>
    <message>
        <source>Primary URL for Link Popularity Count</source>
        <translation>Haupt-URL für die Zählung der Linkpopularität</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>View URL in a Browser</source>
        <translation>URL im Browser anzeigen</translation>
    </message>
    <message>
        <source>(e.g. www.example.com)</source>
        <translation>(z. B. www.example.com)</translation>
    </message>
    <message>
        <source>Enable logging (required for charting)</source>
        <translation>Protokollierung einschalten (für Diagramme erforderlich)</translation>
    </message>
    <message>
        <source>Perform automatic hourly checks</source>
        <translation>Stündlich automatisch prüfen</translation>
    </message>
    <message>
        <source>Play sound alerts on link activity</source>
        <translation>Bei Änderungen der Linkzahl Töne abspielen</translation>
    </message>
    <message>
        <source>Keep window on topmost position</source>
        <translation>Fenster immer im Vordergrund halten</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation>Verlauf löschen</translation>
    </message>
    <message>
        <source>The following fields are missing or invalid:</source>
        <translation>Die folgenden Felder fehlen oder sind ungültig:</translation>
    </message>
    <message>
        <source>Primary URL</source>
        <translation>Haupt-URL</translation>
    </message>
    <message>
        <source>URL history must be numberic</source>
        <translation>Der URL-Verlauf muss eine Zahl sein</translation>
    </message>
    <message>
        <source>Also check automatically (one site per line, up to %1)</source>
        <translation>Auch automatisch prüfen (eine Site pro Zeile, bis zu %1)</translation>
    </message>
    <message>
        <source>Alert only when the total changes by at least</source>
        <translation>Nur melden bei einer Änderung der Summe um mindestens</translation>
    </message>
    <message>
        <source>0 alerts on every change</source>
        <translation>0 meldet jede Änderung</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>links</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Unit of the alert threshold</source>
        <translation>Einheit der Meldeschwelle</translation>
    </message>
    <message>
        <source>Also check automatically: at most %1 sites</source>
        <translation>Auch automatisch prüfen: höchstens %1 Sites</translation>
    </message>
    <message>
        <source>Sources</source>
        <translation>Quellen</translation>
    </message>
</context>
</TS>
