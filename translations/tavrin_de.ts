<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CommandLine</name>
    <message>
        <source>option %1 takes no value</source>
        <translation>die Option %1 nimmt keinen Wert</translation>
    </message>
    <message>
        <source>invalid window size %1 (expected WxH, each side 1 to %2)</source>
        <translation>ungültige Fenstergröße %1 (erwartet BxH, jede Seite 1 bis %2)</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>die Option %1 braucht einen Wert</translation>
    </message>
    <message>
        <source>invalid value %1 for %2 (expected %3 to %4)</source>
        <translation>ungültiger Wert %1 für %2 (erwartet %3 bis %4)</translation>
    </message>
    <message>
        <source>option &apos;--render&apos; needs a folder</source>
        <translation>die Option &apos;--render&apos; braucht einen Ordner</translation>
    </message>
    <message>
        <source>invalid size %1 (expected WxH, each side 1 to %2)</source>
        <translation>ungültige Größe %1 (erwartet BxH, jede Seite 1 bis %2)</translation>
    </message>
    <message>
        <source>option &apos;--screens&apos; needs a file</source>
        <translation>die Option &apos;--screens&apos; braucht eine Datei</translation>
    </message>
    <message>
        <source>option &apos;--trace&apos; needs a file</source>
        <translation>die Option &apos;--trace&apos; braucht eine Datei</translation>
    </message>
    <message>
        <source>option &apos;--output&apos; needs an output&apos;s name</source>
        <translation>die Option &apos;--output&apos; braucht den Namen eines Ausgangs</translation>
    </message>
    <message>
        <source>invalid window id %1 (expected 0x1234abcd or a decimal number)</source>
        <translation>ungültige Fensterkennung %1 (erwartet 0x1234abcd oder eine Dezimalzahl)</translation>
    </message>
    <message>
        <source>invalid time %1 for &apos;--after&apos; (expected minutes, or seconds with an &apos;s&apos;: 10, 90s; at most a day)</source>
        <translation>ungültige Zeit %1 für &apos;--after&apos; (erwartet Minuten oder Sekunden mit einem &apos;s&apos;: 10, 90s; höchstens ein Tag)</translation>
    </message>
    <message>
        <source>invalid seed %1 (expected a whole number from 0 to 2^64-1)</source>
        <translation>ungültiger Startwert %1 (erwartet eine ganze Zahl von 0 bis 2^64-1)</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>unerwartetes Argument %1</translation>
    </message>
    <message>
        <source>&apos;--after&apos; goes with &apos;--idle-watch&apos;</source>
        <translation>&apos;--after&apos; gehört zu &apos;--idle-watch&apos;</translation>
    </message>
    <message>
        <source>&apos;--output&apos; cannot be passed on by &apos;--idle-watch&apos;: the saver covers every display</source>
        <translation>&apos;--output&apos; kann von &apos;--idle-watch&apos; nicht weitergegeben werden: der Bildschirmschoner deckt jeden Bildschirm ab</translation>
    </message>
    <message>
        <source>&apos;--fps&apos; needs a view on a display</source>
        <translation>&apos;--fps&apos; braucht eine Ansicht auf einem Bildschirm</translation>
    </message>
    <message>
        <source>&apos;--frames&apos;, &apos;--every&apos;, &apos;--size&apos; and &apos;--screens&apos; need &apos;--render&apos;</source>
        <translation>&apos;--frames&apos;, &apos;--every&apos;, &apos;--size&apos; und &apos;--screens&apos; brauchen &apos;--render&apos;</translation>
    </message>
    <message>
        <source>&apos;--trace&apos; needs a mode that draws the screen saver</source>
        <translation>&apos;--trace&apos; braucht eine Betriebsart, die den Bildschirmschoner zeichnet</translation>
    </message>
    <message>
        <source>&apos;--render&apos; needs &apos;--frames N&apos;</source>
        <translation>&apos;--render&apos; braucht &apos;--frames N&apos;</translation>
    </message>
    <message>
        <source>give either &apos;--size&apos; or &apos;--screens&apos;, not both</source>
        <translation>entweder &apos;--size&apos; oder &apos;--screens&apos; angeben, nicht beides</translation>
    </message>
    <message>
        <source>&apos;--seed&apos; has no meaning with &apos;--show-settings&apos;</source>
        <translation>&apos;--seed&apos; hat mit &apos;--show-settings&apos; keine Bedeutung</translation>
    </message>
    <message>
        <source>settings for one run cannot be combined with &apos;--settings&apos;, which saves what it shows</source>
        <translation>Einstellungen für einen einzelnen Lauf passen nicht zu &apos;--settings&apos;, das speichert, was es zeigt</translation>
    </message>
    <message>
        <source>Usage: tavrin [OPTION]...</source>
        <translation>Aufruf: tavrin [OPTION]...</translation>
    </message>
    <message>
        <source>A logo and a spinning wheel fly over a starfield, bounce and throw sparks.</source>
        <translation>Ein Logo und ein wirbelndes Rad fliegen über einen Sternenhimmel, prallen ab
und sprühen Funken.</translation>
    </message>
    <message>
        <source>Without options, shows the screen saver full screen on every display until a key
is pressed, the mouse is clicked or moved, or the program receives SIGTERM or SIGINT.</source>
        <translation>Ohne Optionen zeigt das Programm den Bildschirmschoner im Vollbild auf jedem
Bildschirm, bis eine Taste gedrückt, die Maus geklickt oder bewegt wird oder das
Programm SIGTERM oder SIGINT erhält.</translation>
    </message>
    <message>
        <source>Modes:</source>
        <translation>Betriebsarten:</translation>
    </message>
    <message>
        <source>show one view in an ordinary window (default 960x540)</source>
        <translation>eine Ansicht in einem gewöhnlichen Fenster zeigen
(Vorgabe 960x540)</translation>
    </message>
    <message>
        <source>draw N frames without a display and write PNG pictures
DIR/display&lt;i&gt;-frame&lt;n&gt;.png</source>
        <translation>N Bilder ohne Bildschirm zeichnen und als PNG-Dateien
DIR/display&lt;i&gt;-frame&lt;n&gt;.png schreiben</translation>
    </message>
    <message>
        <source>write every K-th frame (the last one always)</source>
        <translation>jedes K-te Bild schreiben (das letzte immer)</translation>
    </message>
    <message>
        <source>one display of that size (default 1920x1080)</source>
        <translation>ein Bildschirm dieser Größe (Vorgabe 1920x1080)</translation>
    </message>
    <message>
        <source>the displays described in a JSON file:</source>
        <translation>die Bildschirme, wie eine JSON-Datei sie beschreibt:</translation>
    </message>
    <message>
        <source>a window with a live preview and the options sheet</source>
        <translation>ein Fenster mit Live-Vorschau und den Optionen</translation>
    </message>
    <message>
        <source>print the settings in effect and the settings file</source>
        <translation>die geltenden Einstellungen und die
Einstellungsdatei ausgeben</translation>
    </message>
    <message>
        <source>draw into the window named by XSCREENSAVER_WINDOW, or the
root window (X only; how XScreenSaver runs its hacks)</source>
        <translation>in das Fenster aus XSCREENSAVER_WINDOW zeichnen, sonst
in das Hauptfenster (nur X; so startet XScreenSaver
seine Hacks)</translation>
    </message>
    <message>
        <source>draw into the X window ID (0x... or decimal); a small
window, or --root with --window-id, is a preview</source>
        <translation>in das X-Fenster ID zeichnen (0x... oder dezimal); ein
kleines Fenster oder --root mit --window-id ist eine
Vorschau</translation>
    </message>
    <message>
        <source>stay in the session and start the screen saver full screen
when the user has been idle for the time in the settings
(10 minutes unless set); the saver&apos;s options given with it
are passed on to every saver it starts</source>
        <translation>in der Sitzung bleiben und den Bildschirmschoner im
Vollbild starten, wenn der Benutzer so lange untätig
war, wie die Einstellungen sagen (sonst 10 Minuten);
die mitgegebenen Optionen des Bildschirmschoners gehen
an jeden gestarteten Bildschirmschoner</translation>
    </message>
    <message>
        <source>this time instead, for this run: minutes, or seconds with
an &apos;s&apos; (--after 5, --after 30s)</source>
        <translation>stattdessen diese Zeit, nur für diesen Lauf: Minuten
oder Sekunden mit einem &apos;s&apos; (--after 5, --after 30s)</translation>
    </message>
    <message>
        <source>layer-shell surfaces, or fail (status 1) without them</source>
        <translation>Layer-Shell-Flächen, ohne sie ein Fehler (Status 1)</translation>
    </message>
    <message>
        <source>draw on the background layer of every output until SIGTERM
or the compositor&apos;s connection ends, never stopping on
input: an animated background for a lock screen such as
swaylock-plugin (it takes the connection from
WAYLAND_SOCKET, and the output from
SWAYLOCK_PLUGIN_OUTPUT_NAME)</source>
        <translation>auf der Hintergrundebene jedes Ausgangs zeichnen, bis
SIGTERM kommt oder die Verbindung zum Compositor endet,
ohne Halt bei Eingaben: ein bewegter Hintergrund für
eine Bildschirmsperre wie swaylock-plugin (die
Verbindung kommt aus WAYLAND_SOCKET, der Ausgang aus
SWAYLOCK_PLUGIN_OUTPUT_NAME)</translation>
    </message>
    <message>
        <source>Settings for this run (they win over the settings file, which they leave alone):</source>
        <translation>Einstellungen für diesen Lauf (sie gehen der Einstellungsdatei vor und lassen
sie unverändert):</translation>
    </message>
    <message>
        <source>(default on)</source>
        <translation>(Vorgabe: an)</translation>
    </message>
    <message>
        <source>(default off)</source>
        <translation>(Vorgabe: aus)</translation>
    </message>
    <message>
        <source>%1, %2 to %3 (default %4)</source>
        <translation>%1, %2 bis %3 (Vorgabe %4)</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Optionen:</translation>
    </message>
    <message>
        <source>use a fixed random seed (reproducible runs)</source>
        <translation>einen festen Zufallsstartwert nutzen
(wiederholbare Läufe)</translation>
    </message>
    <message>
        <source>copy log lines to standard error</source>
        <translation>Protokollzeilen auch auf die Standardfehlerausgabe</translation>
    </message>
    <message>
        <source>show the frame rate in a corner</source>
        <translation>die Bildrate in einer Ecke zeigen</translation>
    </message>
    <message>
        <source>write the scene of every display after every frame as
one JSON object per line; %p in FILE is the process id</source>
        <translation>die Szene jedes Bildschirms nach jedem Bild als ein
JSON-Objekt pro Zeile schreiben; %p in FILE ist die
Prozessnummer</translation>
    </message>
    <message>
        <source>print this help and exit</source>
        <translation>diese Hilfe ausgeben und beenden</translation>
    </message>
    <message>
        <source>print the version and exit</source>
        <translation>die Version ausgeben und beenden</translation>
    </message>
    <message>
        <source>Exit status: 0 on success, 1 when the program cannot run (no display, a file that
cannot be written), 2 for a malformed command line.
Every long option may also be written with a single dash (-root, -window-id ID).</source>
        <translation>Rückgabewert: 0 bei Erfolg; 1, wenn das Programm nicht laufen kann (kein
Bildschirm, eine Datei lässt sich nicht schreiben); 2 bei fehlerhafter
Befehlszeile. Jede lange Option lässt sich auch mit nur einem Strich schreiben
(-root, -window-id ID).</translation>
    </message>
    <message>
        <source>no display to show the screen saver on</source>
        <translation>kein Bildschirm, auf dem der Bildschirmschoner erscheinen könnte</translation>
    </message>
    <message>
        <source>cannot write the trace &apos;%1&apos;: %2</source>
        <translation>die Aufzeichnung &apos;%1&apos; lässt sich nicht schreiben: %2</translation>
    </message>
    <message>
        <source>cannot create the folder &apos;%1&apos;</source>
        <translation>der Ordner &apos;%1&apos; lässt sich nicht anlegen</translation>
    </message>
    <message>
        <source>no display to draw on</source>
        <translation>kein Bildschirm zum Zeichnen</translation>
    </message>
    <message>
        <source>cannot write &apos;%1&apos;</source>
        <translation>&apos;%1&apos; lässt sich nicht schreiben</translation>
    </message>
    <message>
        <source>XSCREENSAVER_WINDOW is not a window id: &apos;%1&apos;</source>
        <translation>XSCREENSAVER_WINDOW ist keine Fensterkennung: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>the X server has no root window</source>
        <translation>der X-Server hat kein Hauptfenster</translation>
    </message>
    <message>
        <source>&apos;--root&apos; and &apos;--window-id&apos; draw into an X window, and Qt is not running on X</source>
        <translation>&apos;--root&apos; und &apos;--window-id&apos; zeichnen in ein X-Fenster, aber Qt läuft nicht unter X</translation>
    </message>
    <message>
        <source>%1; &apos;--background&apos; draws on layer-shell surfaces only</source>
        <translation>%1; &apos;--background&apos; zeichnet nur auf Layer-Shell-Flächen</translation>
    </message>
    <message>
        <source>Try &apos;tavrin --help&apos; for more information.</source>
        <translation>&apos;tavrin --help&apos; gibt weitere Auskunft.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs a Wayland compositor (WAYLAND_DISPLAY or WAYLAND_SOCKET)</source>
        <translation>&apos;%1&apos; braucht einen Wayland-Compositor (WAYLAND_DISPLAY oder WAYLAND_SOCKET)</translation>
    </message>
    <message>
        <source>&apos;--root&apos; and &apos;--window-id&apos; draw into an X window, but %1; on a Wayland desktop run &apos;tavrin&apos; without options instead</source>
        <translation>&apos;--root&apos; und &apos;--window-id&apos; zeichnen in ein X-Fenster, aber %1; auf einem Wayland-Desktop stattdessen &apos;tavrin&apos; ohne Optionen starten</translation>
    </message>
    <message>
        <source>no display available: neither DISPLAY nor WAYLAND_DISPLAY is set (use --render DIR --frames N to draw without one)</source>
        <translation>kein Bildschirm verfügbar: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt (mit --render DIR --frames N wird ohne Bildschirm gezeichnet)</translation>
    </message>
    <message>
        <source>choose one of &apos;--window&apos;, &apos;--root&apos; (or &apos;--window-id&apos;), &apos;--render&apos;, &apos;--show-settings&apos;, &apos;--settings&apos;, &apos;--background&apos;, &apos;--idle-watch&apos; and &apos;--idle-status&apos;</source>
        <translation>wählen Sie eines von &apos;--window&apos;, &apos;--root&apos; (oder &apos;--window-id&apos;), &apos;--render&apos;, &apos;--show-settings&apos;, &apos;--settings&apos;, &apos;--background&apos;, &apos;--idle-watch&apos; und &apos;--idle-status&apos;</translation>
    </message>
    <message>
        <source>&apos;--idle-status&apos; takes no other option but &apos;--log-stderr&apos;</source>
        <translation>&apos;--idle-status&apos; nimmt außer &apos;--log-stderr&apos; keine weitere Option</translation>
    </message>
    <message>
        <source>&apos;--half-rate&apos; goes with a mode that draws on a display: the full-screen saver, &apos;--window&apos;, &apos;--root&apos; or &apos;--window-id&apos;, &apos;--background&apos;</source>
        <translation>&apos;--half-rate&apos; gehört zu einem Modus, der auf einem Bildschirm zeichnet: dem Vollbild-Bildschirmschoner, &apos;--window&apos;, &apos;--root&apos; oder &apos;--window-id&apos;, &apos;--background&apos;</translation>
    </message>
    <message>
        <source>&apos;--layer-shell&apos;, &apos;--no-layer-shell&apos; and &apos;--no-own-wayland&apos; choose how the full-screen saver is shown on Wayland; they go with no other mode</source>
        <translation>&apos;--layer-shell&apos;, &apos;--no-layer-shell&apos; und &apos;--no-own-wayland&apos; wählen, wie der Vollbild-Bildschirmschoner unter Wayland gezeigt wird; sie gehören zu keinem anderen Modus</translation>
    </message>
    <message>
        <source>&apos;--output&apos; names a Wayland output for surfaces of our own: it goes with the full-screen saver or &apos;--background&apos;, not with &apos;--no-own-wayland&apos;</source>
        <translation>&apos;--output&apos; nennt einen Wayland-Ausgang für eigene Flächen: es gehört zum Vollbild-Bildschirmschoner oder zu &apos;--background&apos;, nicht zu &apos;--no-own-wayland&apos;</translation>
    </message>
    <message>
        <source>say whether an idle watcher runs in this session, when the
desktop blanks, locks and sleeps, and what keeps the screen
saver away now (exit status 3 when no watcher runs)</source>
        <translation>sagen, ob in dieser Sitzung ein Leerlaufwächter läuft,
wann die Arbeitsumgebung abschaltet, sperrt und
schläft, und was den Bildschirmschoner gerade
fernhält (Status 3, wenn kein Wächter läuft)</translation>
    </message>
    <message>
        <source>On Wayland, full screen uses layer-shell surfaces where the compositor offers them
(sway, Hyprland, KDE Plasma...), else fullscreen windows of its own (GNOME, weston):</source>
        <translation>Unter Wayland nutzt das Vollbild Layer-Shell-Flächen, wo der Compositor sie
bietet (sway, Hyprland, KDE Plasma...), sonst eigene Vollbildfenster
(GNOME, weston):</translation>
    </message>
    <message>
        <source>fullscreen windows of its own even where there are
layer-shell surfaces</source>
        <translation>eigene Vollbildfenster, auch wo es
Layer-Shell-Flächen gibt</translation>
    </message>
    <message>
        <source>full-screen windows through Qt&apos;s Wayland platform</source>
        <translation>Vollbildfenster über Qts Wayland-Plattform</translation>
    </message>
    <message>
        <source>draw on the output NAME only (not with --no-own-wayland)</source>
        <translation>nur auf dem Ausgang NAME zeichnen (nicht mit
--no-own-wayland)</translation>
    </message>
    <message>
        <source>draw every second frame (the motion is unchanged), as on
battery; SIGUSR1 turns this on, SIGUSR2 off</source>
        <translation>nur jedes zweite Bild zeichnen (die Bewegung bleibt
gleich), wie im Akkubetrieb; SIGUSR1 schaltet das
ein, SIGUSR2 aus</translation>
    </message>
    <message>
        <source>%1; without &apos;--layer-shell&apos; other surfaces are used instead</source>
        <translation>%1; ohne &apos;--layer-shell&apos; werden stattdessen andere Flächen benutzt</translation>
    </message>
</context>
<context>
    <name>DesktopTimers</name>
    <message>
        <source>blanks and locks the screen</source>
        <translation>schaltet den Bildschirm ab und sperrt ihn</translation>
    </message>
    <message>
        <source>blanks the screen</source>
        <translation>schaltet den Bildschirm ab</translation>
    </message>
    <message>
        <source>locks the screen</source>
        <translation>sperrt den Bildschirm</translation>
    </message>
    <message>
        <source>turns the displays off</source>
        <translation>schaltet die Monitore aus</translation>
    </message>
    <message>
        <source>puts the machine to sleep</source>
        <translation>versetzt den Rechner in Bereitschaft</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>after %1</source>
        <translation>nach %1</translation>
    </message>
    <message>
        <source>never</source>
        <translation>nie</translation>
    </message>
    <message>
        <source>%1 never %2</source>
        <translation>%1 %2: nie</translation>
    </message>
    <message>
        <source>%1 %2 %3</source>
        <translation>%1 %2: %3</translation>
    </message>
    <message>
        <source>%1 %2 %3 on mains power and %4 on battery</source>
        <translation>%1 %2: %3 am Netz, %4 im Akkubetrieb</translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>1 Stunde</translation>
    </message>
    <message>
        <source>%1 hours</source>
        <translation>%1 Stunden</translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation>1 Minute</translation>
    </message>
    <message>
        <source>%1 minutes</source>
        <translation>%1 Minuten</translation>
    </message>
    <message>
        <source>1 second</source>
        <translation>1 Sekunde</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 Sekunden</translation>
    </message>
    <message>
        <source>%1 minutes %2</source>
        <translation>%1 Minuten %2</translation>
    </message>
    <message>
        <source>before Tavrin&apos;s %1</source>
        <translation>vor Tavrin (%1)</translation>
    </message>
    <message>
        <source>at the same time as Tavrin&apos;s %1</source>
        <translation>gleichzeitig mit Tavrin (%1)</translation>
    </message>
    <message>
        <source>%1 %2 after %3, %4: the screen saver would not be seen</source>
        <translation>%1 %2 nach %3, %4: der Bildschirmschoner wäre nicht zu sehen</translation>
    </message>
    <message>
        <source>The desktop&apos;s</source>
        <translation>Die Arbeitsumgebung:</translation>
    </message>
    <message>
        <source>%1&apos;s</source>
        <translation>%1:</translation>
    </message>
    <message>
        <source>%1 own times are unknown: %2</source>
        <translation>%1 eigene Zeiten unbekannt (%2)</translation>
    </message>
    <message>
        <source>%1 blanks the screen after %2, but not while Tavrin&apos;s idle watcher runs: it turns that off</source>
        <translation>%1 schaltet den Bildschirm nach %2 ab, aber nicht, solange Tavrins Leerlaufwächter läuft: er schaltet das aus</translation>
    </message>
    <message>
        <source>%1&apos;s own blank is off while Tavrin&apos;s idle watcher runs</source>
        <translation>Das eigene Abschalten von %1 ist aus, solange Tavrins Leerlaufwächter läuft</translation>
    </message>
    <message>
        <source>Not read: %1</source>
        <translation>Nicht gelesen: %1</translation>
    </message>
    <message>
        <source> (on battery)</source>
        <translation> (im Akkubetrieb)</translation>
    </message>
    <message>
        <source>First%1: %2 %3 after %4</source>
        <translation>Zuerst%1: %2 %3 nach %4</translation>
    </message>
    <message>
        <source>First%1: nothing; %2 never hides the screen</source>
        <translation>Zuerst%1: nichts; %2 verdeckt den Bildschirm nie</translation>
    </message>
    <message>
        <source>They are changed in %1</source>
        <translation>Sie werden geändert in %1</translation>
    </message>
    <message>
        <source>%1 %2 after %3, after Tavrin&apos;s %4</source>
        <translation>%1 %2 nach %3, nach Tavrin (%4)</translation>
    </message>
    <message>
        <source>%1 never hides the screen</source>
        <translation>%1 verdeckt den Bildschirm nie</translation>
    </message>
</context>
<context>
    <name>IdleSwitch</name>
    <message>
        <source>&amp;Start Tavrin after</source>
        <translation>Tavrin &amp;starten nach</translation>
    </message>
    <message>
        <source>Starts the screen saver when the computer has been idle for the minutes that follow</source>
        <translation>Startet den Bildschirmschoner, wenn der Computer so viele Minuten unbenutzt war, wie danach eingestellt ist</translation>
    </message>
    <message>
        <source>Minutes of inactivity</source>
        <translation>Minuten ohne Benutzeraktivität</translation>
    </message>
    <message>
        <source>minutes of inactivity</source>
        <translation>Minuten ohne Benutzeraktivität</translation>
    </message>
    <message>
        <source>Tavrin&apos;s idle watcher is not running in this session; &apos;journalctl -t org.tavrin.screensaver&apos; says why.</source>
        <translation>Die Leerlaufüberwachung von Tavrin läuft in dieser Sitzung nicht; &apos;journalctl -t org.tavrin.screensaver&apos; nennt den Grund.</translation>
    </message>
    <message>
        <source>The desktop&apos;s own timers</source>
        <translation>Die eigenen Zeiten der Arbeitsumgebung</translation>
    </message>
    <message>
        <source>What keeps the screen awake</source>
        <translation>Was den Bildschirm wach hält</translation>
    </message>
    <message>
        <source>Half the frame rate</source>
        <translation>Halbe Bildrate</translation>
    </message>
    <message>
        <source>Full frame rate</source>
        <translation>Volle Bildrate</translation>
    </message>
    <message>
        <source>Don&apos;t start Tavrin</source>
        <translation>Tavrin nicht starten</translation>
    </message>
    <message>
        <source>What Tavrin does on battery</source>
        <translation>Was Tavrin im Akkubetrieb tut</translation>
    </message>
    <message>
        <source>&amp;On battery:</source>
        <translation>Im &amp;Akkubetrieb:</translation>
    </message>
    <message>
        <source>Kept away now: %1</source>
        <translation>Gerade ferngehalten: %1</translation>
    </message>
    <message>
        <source>Kept away now by %1</source>
        <translation>Gerade ferngehalten von %1</translation>
    </message>
    <message>
        <source>Kept away now by %1: %2</source>
        <translation>Gerade ferngehalten von %1: %2</translation>
    </message>
    <message>
        <source>Change the desktop&apos;s times in %1.</source>
        <translation>Ändern Sie die Zeiten der Arbeitsumgebung unter %1.</translation>
    </message>
    <message>
        <source>The desktop&apos;s times could not be changed: %1</source>
        <translation>Die Zeiten der Arbeitsumgebung ließen sich nicht ändern: %1</translation>
    </message>
    <message>
        <source>Start &amp;Tavrin after 1 minute</source>
        <translation>&amp;Tavrin nach 1 Minute starten</translation>
    </message>
    <message>
        <source>Start &amp;Tavrin after %1 minutes</source>
        <translation>&amp;Tavrin nach %1 Minuten starten</translation>
    </message>
    <message>
        <source>Let GNOME &amp;blank after 1 minute</source>
        <translation>GNOME nach 1 Minute a&amp;bschalten lassen</translation>
    </message>
    <message>
        <source>Let GNOME &amp;blank after %1 minutes</source>
        <translation>GNOME nach %1 Minuten a&amp;bschalten lassen</translation>
    </message>
    <message>
        <source>Let the X server turn the &amp;displays off after 1 minute</source>
        <translation>Den X-Server die &amp;Monitore nach 1 Minute ausschalten lassen</translation>
    </message>
    <message>
        <source>Let the X server turn the &amp;displays off after %1 minutes</source>
        <translation>Den X-Server die &amp;Monitore nach %1 Minuten ausschalten lassen</translation>
    </message>
</context>
<context>
    <name>OptionsSheet</name>
    <message>
        <source>Tavrin Screensaver Options</source>
        <translation>Optionen des Bildschirmschoners Tavrin</translation>
    </message>
    <message>
        <source>Visual Effects</source>
        <translation>Visuelle Effekte</translation>
    </message>
    <message>
        <source>Fade Trails</source>
        <translation>Verblassende Leuchtspuren</translation>
    </message>
    <message>
        <source>Neon Glow</source>
        <translation>Neonleuchten</translation>
    </message>
    <message>
        <source>Collision Flash</source>
        <translation>Aufblitzen beim Zusammenprall</translation>
    </message>
    <message>
        <source>Color Drift</source>
        <translation>Langsamer Farbwechsel</translation>
    </message>
    <message>
        <source>Starfield Background</source>
        <translation>Sternenhimmel im Hintergrund</translation>
    </message>
    <message>
        <source>Collision Sparks</source>
        <translation>Funkenflug beim Zusammenprall</translation>
    </message>
    <message>
        <source>Cross-Monitor Sparks</source>
        <translation>Funkenflug über Bildschirmgrenzen</translation>
    </message>
    <message>
        <source>Ball Curve (Magnus Effect)</source>
        <translation>Bogenflug (Magnus-Effekt)</translation>
    </message>
    <message>
        <source>Spin bends the wheel&apos;s flight path, the way a struck ball curves. Speed is unaffected, so it still reaches every part of the screen.</source>
        <translation>Der Drall krümmt die Flugbahn des Rades wie bei einem angeschnittenen Ball. Die Geschwindigkeit bleibt gleich, sodass es weiterhin jeden Teil des Bildschirms erreicht.</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Trail Length:</source>
        <translation>Spurlänge:</translation>
    </message>
    <message>
        <source>Glow Size:</source>
        <translation>Leuchthof:</translation>
    </message>
    <message>
        <source>Star Count:</source>
        <translation>Sternanzahl:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Version: %1 (%2) — built %3</source>
        <translation>Version: %1 (%2) — erstellt am %3</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Tavrin Screen Saver</source>
        <translation>Bildschirmschoner Tavrin</translation>
    </message>
    <message>
        <source>Tavrin — live preview</source>
        <translation>Tavrin — Live-Vorschau</translation>
    </message>
    <message>
        <source>Live preview of the screen saver</source>
        <translation>Live-Vorschau des Bildschirmschoners</translation>
    </message>
    <message>
        <source>Options…</source>
        <translation>Optionen…</translation>
    </message>
    <message>
        <source>Opens the screen saver&apos;s options</source>
        <translation>Öffnet die Optionen des Bildschirmschoners</translation>
    </message>
</context>
</TS>
