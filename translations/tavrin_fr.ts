<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>CommandLine</name>
    <message>
        <source>option %1 takes no value</source>
        <translation>l&apos;option %1 ne prend pas de valeur</translation>
    </message>
    <message>
        <source>invalid window size %1 (expected WxH, each side 1 to %2)</source>
        <translation>taille de fenêtre %1 non valable (attendu LxH, chaque côté de 1 à %2)</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>l&apos;option %1 demande une valeur</translation>
    </message>
    <message>
        <source>invalid value %1 for %2 (expected %3 to %4)</source>
        <translation>valeur %1 non valable pour %2 (attendu de %3 à %4)</translation>
    </message>
    <message>
        <source>option &apos;--render&apos; needs a folder</source>
        <translation>l&apos;option &apos;--render&apos; demande un dossier</translation>
    </message>
    <message>
        <source>invalid size %1 (expected WxH, each side 1 to %2)</source>
        <translation>taille %1 non valable (attendu LxH, chaque côté de 1 à %2)</translation>
    </message>
    <message>
        <source>option &apos;--screens&apos; needs a file</source>
        <translation>l&apos;option &apos;--screens&apos; demande un fichier</translation>
    </message>
    <message>
        <source>option &apos;--trace&apos; needs a file</source>
        <translation>l&apos;option &apos;--trace&apos; demande un fichier</translation>
    </message>
    <message>
        <source>option &apos;--output&apos; needs an output&apos;s name</source>
        <translation>l&apos;option &apos;--output&apos; demande le nom d&apos;une sortie</translation>
    </message>
    <message>
        <source>invalid window id %1 (expected 0x1234abcd or a decimal number)</source>
        <translation>identifiant de fenêtre %1 non valable (attendu 0x1234abcd ou un nombre décimal)</translation>
    </message>
    <message>
        <source>invalid time %1 for &apos;--after&apos; (expected minutes, or seconds with an &apos;s&apos;: 10, 90s; at most a day)</source>
        <translation>durée %1 non valable pour &apos;--after&apos; (attendu des minutes, ou des secondes suivies d&apos;un &apos;s&apos; : 10, 90s ; un jour au plus)</translation>
    </message>
    <message>
        <source>invalid seed %1 (expected a whole number from 0 to 2^64-1)</source>
        <translation>graine %1 non valable (attendu un nombre entier de 0 à 2^64-1)</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>option inconnue %1</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>argument inattendu %1</translation>
    </message>
    <message>
        <source>&apos;--after&apos; goes with &apos;--idle-watch&apos;</source>
        <translation>&apos;--after&apos; va avec &apos;--idle-watch&apos;</translation>
    </message>
    <message>
        <source>&apos;--output&apos; cannot be passed on by &apos;--idle-watch&apos;: the saver covers every display</source>
        <translation>&apos;--idle-watch&apos; ne peut pas transmettre &apos;--output&apos; : l&apos;économiseur couvre tous les écrans</translation>
    </message>
    <message>
        <source>&apos;--fps&apos; needs a view on a display</source>
        <translation>&apos;--fps&apos; demande une vue sur un écran</translation>
    </message>
    <message>
        <source>&apos;--frames&apos;, &apos;--every&apos;, &apos;--size&apos; and &apos;--screens&apos; need &apos;--render&apos;</source>
        <translation>&apos;--frames&apos;, &apos;--every&apos;, &apos;--size&apos; et &apos;--screens&apos; demandent &apos;--render&apos;</translation>
    </message>
    <message>
        <source>&apos;--trace&apos; needs a mode that draws the screen saver</source>
        <translation>&apos;--trace&apos; demande un mode qui dessine l&apos;économiseur d&apos;écran</translation>
    </message>
    <message>
        <source>&apos;--render&apos; needs &apos;--frames N&apos;</source>
        <translation>&apos;--render&apos; demande &apos;--frames N&apos;</translation>
    </message>
    <message>
        <source>give either &apos;--size&apos; or &apos;--screens&apos;, not both</source>
        <translation>indiquez &apos;--size&apos; ou &apos;--screens&apos;, pas les deux</translation>
    </message>
    <message>
        <source>&apos;--seed&apos; has no meaning with &apos;--show-settings&apos;</source>
        <translation>&apos;--seed&apos; n&apos;a pas de sens avec &apos;--show-settings&apos;</translation>
    </message>
    <message>
        <source>settings for one run cannot be combined with &apos;--settings&apos;, which saves what it shows</source>
        <translation>des réglages pour une seule exécution ne vont pas avec &apos;--settings&apos;, qui enregistre ce qu&apos;il affiche</translation>
    </message>
    <message>
        <source>Usage: tavrin [OPTION]...</source>
        <translation>Utilisation : tavrin [OPTION]...</translation>
    </message>
    <message>
        <source>A logo and a spinning wheel fly over a starfield, bounce and throw sparks.</source>
        <translation>Un logo et une roue qui tourne volent sur un ciel étoilé, rebondissent et
lancent des étincelles.</translation>
    </message>
    <message>
        <source>Without options, shows the screen saver full screen on every display until a key
is pressed, the mouse is clicked or moved, or the program receives SIGTERM or SIGINT.</source>
        <translation>Sans option, affiche l&apos;économiseur d&apos;écran en plein écran sur chaque écran
jusqu&apos;à ce qu&apos;une touche soit pressée, que la souris soit cliquée ou déplacée,
ou que le programme reçoive SIGTERM ou SIGINT.</translation>
    </message>
    <message>
        <source>Modes:</source>
        <translation>Modes :</translation>
    </message>
    <message>
        <source>show one view in an ordinary window (default 960x540)</source>
        <translation>afficher une vue dans une fenêtre ordinaire
(960x540 par défaut)</translation>
    </message>
    <message>
        <source>draw N frames without a display and write PNG pictures
DIR/display&lt;i&gt;-frame&lt;n&gt;.png</source>
        <translation>dessiner N images sans écran et écrire les images PNG
DIR/display&lt;i&gt;-frame&lt;n&gt;.png</translation>
    </message>
    <message>
        <source>write every K-th frame (the last one always)</source>
        <translation>écrire une image sur K (toujours la dernière)</translation>
    </message>
    <message>
        <source>one display of that size (default 1920x1080)</source>
        <translation>un écran de cette taille (1920x1080 par défaut)</translation>
    </message>
    <message>
        <source>the displays described in a JSON file:</source>
        <translation>les écrans décrits dans un fichier JSON :</translation>
    </message>
    <message>
        <source>a window with a live preview and the options sheet</source>
        <translation>une fenêtre avec un aperçu en direct et les options</translation>
    </message>
    <message>
        <source>print the settings in effect and the settings file</source>
        <translation>afficher les réglages en vigueur et le fichier de
réglages</translation>
    </message>
    <message>
        <source>draw into the window named by XSCREENSAVER_WINDOW, or the
root window (X only; how XScreenSaver runs its hacks)</source>
        <translation>dessiner dans la fenêtre désignée par
XSCREENSAVER_WINDOW, ou dans la fenêtre racine (X
seulement ; ainsi XScreenSaver lance ses modules)</translation>
    </message>
    <message>
        <source>draw into the X window ID (0x... or decimal); a small
window, or --root with --window-id, is a preview</source>
        <translation>dessiner dans la fenêtre X ID (0x... ou décimal) ; une
petite fenêtre, ou --root avec --window-id, est un
aperçu</translation>
    </message>
    <message>
        <source>stay in the session and start the screen saver full screen
when the user has been idle for the time in the settings
(10 minutes unless set); the saver&apos;s options given with it
are passed on to every saver it starts</source>
        <translation>rester dans la session et lancer l&apos;économiseur d&apos;écran
en plein écran quand l&apos;utilisateur est inactif depuis
la durée des réglages (10 minutes sinon) ; les options
de l&apos;économiseur données avec elle sont transmises à
chaque économiseur lancé</translation>
    </message>
    <message>
        <source>this time instead, for this run: minutes, or seconds with
an &apos;s&apos; (--after 5, --after 30s)</source>
        <translation>cette durée à la place, pour cette exécution : des
minutes, ou des secondes suivies d&apos;un &apos;s&apos; (--after 5,
--after 30s)</translation>
    </message>
    <message>
        <source>layer-shell surfaces, or fail (status 1) without them</source>
        <translation>des surfaces layer-shell, ou un échec (état 1) sans
elles</translation>
    </message>
    <message>
        <source>draw on the background layer of every output until SIGTERM
or the compositor&apos;s connection ends, never stopping on
input: an animated background for a lock screen such as
swaylock-plugin (it takes the connection from
WAYLAND_SOCKET, and the output from
SWAYLOCK_PLUGIN_OUTPUT_NAME)</source>
        <translation>dessiner sur la couche d&apos;arrière-plan de chaque sortie
jusqu&apos;à SIGTERM ou la fin de la connexion au
compositeur, sans jamais s&apos;arrêter sur une saisie : un
fond animé pour un écran de verrouillage comme
swaylock-plugin (la connexion vient de WAYLAND_SOCKET,
et la sortie de SWAYLOCK_PLUGIN_OUTPUT_NAME)</translation>
    </message>
    <message>
        <source>Settings for this run (they win over the settings file, which they leave alone):</source>
        <translation>Réglages pour cette exécution (ils l&apos;emportent sur le fichier de réglages,
qu&apos;ils ne modifient pas) :</translation>
    </message>
    <message>
        <source>(default on)</source>
        <translation>(activé par défaut)</translation>
    </message>
    <message>
        <source>(default off)</source>
        <translation>(désactivé par défaut)</translation>
    </message>
    <message>
        <source>%1, %2 to %3 (default %4)</source>
        <translation>%1, de %2 à %3 (%4 par défaut)</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Options :</translation>
    </message>
    <message>
        <source>use a fixed random seed (reproducible runs)</source>
        <translation>utiliser une graine aléatoire fixe (exécutions
reproductibles)</translation>
    </message>
    <message>
        <source>copy log lines to standard error</source>
        <translation>copier les lignes du journal sur la sortie d&apos;erreur</translation>
    </message>
    <message>
        <source>show the frame rate in a corner</source>
        <translation>afficher la fréquence d&apos;images dans un coin</translation>
    </message>
    <message>
        <source>write the scene of every display after every frame as
one JSON object per line; %p in FILE is the process id</source>
        <translation>écrire la scène de chaque écran après chaque image,
un objet JSON par ligne ; %p dans FILE est le numéro
du processus</translation>
    </message>
    <message>
        <source>print this help and exit</source>
        <translation>afficher cette aide et quitter</translation>
    </message>
    <message>
        <source>print the version and exit</source>
        <translation>afficher la version et quitter</translation>
    </message>
    <message>
        <source>Exit status: 0 on success, 1 when the program cannot run (no display, a file that
cannot be written), 2 for a malformed command line.
Every long option may also be written with a single dash (-root, -window-id ID).</source>
        <translation>État de sortie : 0 en cas de succès, 1 si le programme ne peut pas fonctionner
(pas d&apos;écran, un fichier impossible à écrire), 2 pour une ligne de commande mal
formée. Chaque option longue peut aussi s&apos;écrire avec un seul tiret (-root,
-window-id ID).</translation>
    </message>
    <message>
        <source>no display to show the screen saver on</source>
        <translation>aucun écran où afficher l&apos;économiseur d&apos;écran</translation>
    </message>
    <message>
        <source>cannot write the trace &apos;%1&apos;: %2</source>
        <translation>impossible d&apos;écrire la trace &apos;%1&apos; : %2</translation>
    </message>
    <message>
        <source>cannot create the folder &apos;%1&apos;</source>
        <translation>impossible de créer le dossier &apos;%1&apos;</translation>
    </message>
    <message>
        <source>no display to draw on</source>
        <translation>aucun écran où dessiner</translation>
    </message>
    <message>
        <source>cannot write &apos;%1&apos;</source>
        <translation>impossible d&apos;écrire &apos;%1&apos;</translation>
    </message>
    <message>
        <source>XSCREENSAVER_WINDOW is not a window id: &apos;%1&apos;</source>
        <translation>XSCREENSAVER_WINDOW n&apos;est pas un identifiant de fenêtre : &apos;%1&apos;</translation>
    </message>
    <message>
        <source>the X server has no root window</source>
        <translation>le serveur X n&apos;a pas de fenêtre racine</translation>
    </message>
    <message>
        <source>&apos;--root&apos; and &apos;--window-id&apos; draw into an X window, and Qt is not running on X</source>
        <translation>&apos;--root&apos; et &apos;--window-id&apos; dessinent dans une fenêtre X, et Qt ne fonctionne pas sous X</translation>
    </message>
    <message>
        <source>%1; &apos;--background&apos; draws on layer-shell surfaces only</source>
        <translation>%1 ; &apos;--background&apos; ne dessine que sur des surfaces layer-shell</translation>
    </message>
    <message>
        <source>Try &apos;tavrin --help&apos; for more information.</source>
        <translation>Essayez &apos;tavrin --help&apos; pour en savoir plus.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs a Wayland compositor (WAYLAND_DISPLAY or WAYLAND_SOCKET)</source>
        <translation>&apos;%1&apos; demande un compositeur Wayland (WAYLAND_DISPLAY ou WAYLAND_SOCKET)</translation>
    </message>
    <message>
        <source>&apos;--root&apos; and &apos;--window-id&apos; draw into an X window, but %1; on a Wayland desktop run &apos;tavrin&apos; without options instead</source>
        <translation>&apos;--root&apos; et &apos;--window-id&apos; dessinent dans une fenêtre X, mais %1 ; sur un bureau Wayland, lancez plutôt &apos;tavrin&apos; sans option</translation>
    </message>
    <message>
        <source>no display available: neither DISPLAY nor WAYLAND_DISPLAY is set (use --render DIR --frames N to draw without one)</source>
        <translation>aucun écran disponible : ni DISPLAY ni WAYLAND_DISPLAY n&apos;est défini (utilisez --render DIR --frames N pour dessiner sans écran)</translation>
    </message>
    <message>
        <source>choose one of &apos;--window&apos;, &apos;--root&apos; (or &apos;--window-id&apos;), &apos;--render&apos;, &apos;--show-settings&apos;, &apos;--settings&apos;, &apos;--background&apos;, &apos;--idle-watch&apos; and &apos;--idle-status&apos;</source>
        <translation>choisissez un seul de &apos;--window&apos;, &apos;--root&apos; (ou &apos;--window-id&apos;), &apos;--render&apos;, &apos;--show-settings&apos;, &apos;--settings&apos;, &apos;--background&apos;, &apos;--idle-watch&apos; et &apos;--idle-status&apos;</translation>
    </message>
    <message>
        <source>&apos;--idle-status&apos; takes no other option but &apos;--log-stderr&apos;</source>
        <translation>&apos;--idle-status&apos; n&apos;accepte aucune autre option que &apos;--log-stderr&apos;</translation>
    </message>
    <message>
        <source>&apos;--half-rate&apos; goes with a mode that draws on a display: the full-screen saver, &apos;--window&apos;, &apos;--root&apos; or &apos;--window-id&apos;, &apos;--background&apos;</source>
        <translation>&apos;--half-rate&apos; va avec un mode qui dessine sur un écran : l&apos;économiseur plein écran, &apos;--window&apos;, &apos;--root&apos; ou &apos;--window-id&apos;, &apos;--background&apos;</translation>
    </message>
    <message>
        <source>&apos;--layer-shell&apos;, &apos;--no-layer-shell&apos; and &apos;--no-own-wayland&apos; choose how the full-screen saver is shown on Wayland; they go with no other mode</source>
        <translation>&apos;--layer-shell&apos;, &apos;--no-layer-shell&apos; et &apos;--no-own-wayland&apos; choisissent comment l&apos;économiseur plein écran s&apos;affiche sous Wayland ; ils ne vont avec aucun autre mode</translation>
    </message>
    <message>
        <source>&apos;--output&apos; names a Wayland output for surfaces of our own: it goes with the full-screen saver or &apos;--background&apos;, not with &apos;--no-own-wayland&apos;</source>
        <translation>&apos;--output&apos; nomme une sortie Wayland pour des surfaces propres : il va avec l&apos;économiseur plein écran ou &apos;--background&apos;, pas avec &apos;--no-own-wayland&apos;</translation>
    </message>
    <message>
        <source>say whether an idle watcher runs in this session, when the
desktop blanks, locks and sleeps, and what keeps the screen
saver away now (exit status 3 when no watcher runs)</source>
        <translation>dire si un veilleur d&apos;inactivité tourne dans cette
session, quand le bureau éteint, verrouille et met en
veille, et ce qui tient l&apos;économiseur à l&apos;écart
(code de sortie 3 si aucun veilleur ne tourne)</translation>
    </message>
    <message>
        <source>On Wayland, full screen uses layer-shell surfaces where the compositor offers them
(sway, Hyprland, KDE Plasma...), else fullscreen windows of its own (GNOME, weston):</source>
        <translation>Sous Wayland, le plein écran utilise des surfaces layer-shell là où le
compositeur les offre (sway, Hyprland, KDE Plasma...), sinon ses propres
fenêtres plein écran (GNOME, weston) :</translation>
    </message>
    <message>
        <source>fullscreen windows of its own even where there are
layer-shell surfaces</source>
        <translation>ses propres fenêtres plein écran, même là où il y a
des surfaces layer-shell</translation>
    </message>
    <message>
        <source>full-screen windows through Qt&apos;s Wayland platform</source>
        <translation>fenêtres plein écran par la plateforme Wayland de Qt</translation>
    </message>
    <message>
        <source>draw on the output NAME only (not with --no-own-wayland)</source>
        <translation>dessiner sur la sortie NAME seulement (pas avec
--no-own-wayland)</translation>
    </message>
    <message>
        <source>draw every second frame (the motion is unchanged), as on
battery; SIGUSR1 turns this on, SIGUSR2 off</source>
        <translation>dessiner une image sur deux (le mouvement reste le
même), comme sur batterie ; SIGUSR1 l&apos;active,
SIGUSR2 le désactive</translation>
    </message>
    <message>
        <source>%1; without &apos;--layer-shell&apos; other surfaces are used instead</source>
        <translation>%1 ; sans &apos;--layer-shell&apos;, d&apos;autres surfaces sont utilisées à la place</translation>
    </message>
</context>
<context>
    <name>DesktopTimers</name>
    <message>
        <source>blanks and locks the screen</source>
        <translation>éteint et verrouille l&apos;écran</translation>
    </message>
    <message>
        <source>blanks the screen</source>
        <translation>éteint l&apos;écran</translation>
    </message>
    <message>
        <source>locks the screen</source>
        <translation>verrouille l&apos;écran</translation>
    </message>
    <message>
        <source>turns the displays off</source>
        <translation>éteint les moniteurs</translation>
    </message>
    <message>
        <source>puts the machine to sleep</source>
        <translation>met l&apos;ordinateur en veille</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 et %2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>after %1</source>
        <translation>après %1</translation>
    </message>
    <message>
        <source>never</source>
        <translation>jamais</translation>
    </message>
    <message>
        <source>%1 never %2</source>
        <translation>%1 %2 : jamais</translation>
    </message>
    <message>
        <source>%1 %2 %3</source>
        <translation>%1 %2 : %3</translation>
    </message>
    <message>
        <source>%1 %2 %3 on mains power and %4 on battery</source>
        <translation>%1 %2 : %3 sur secteur, %4 sur batterie</translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>1 heure</translation>
    </message>
    <message>
        <source>%1 hours</source>
        <translation>%1 heures</translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation>1 minute</translation>
    </message>
    <message>
        <source>%1 minutes</source>
        <translation>%1 minutes</translation>
    </message>
    <message>
        <source>1 second</source>
        <translation>1 seconde</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 secondes</translation>
    </message>
    <message>
        <source>%1 minutes %2</source>
        <translation>%1 minutes %2</translation>
    </message>
    <message>
        <source>before Tavrin&apos;s %1</source>
        <translation>avant Tavrin (%1)</translation>
    </message>
    <message>
        <source>at the same time as Tavrin&apos;s %1</source>
        <translation>en même temps que Tavrin (%1)</translation>
    </message>
    <message>
        <source>%1 %2 after %3, %4: the screen saver would not be seen</source>
        <translation>%1 %2 après %3, %4 : l&apos;économiseur ne serait pas vu</translation>
    </message>
    <message>
        <source>The desktop&apos;s</source>
        <translation>Le bureau :</translation>
    </message>
    <message>
        <source>%1&apos;s</source>
        <translation>%1 :</translation>
    </message>
    <message>
        <source>%1 own times are unknown: %2</source>
        <translation>%1 durées propres inconnues (%2)</translation>
    </message>
    <message>
        <source>%1 blanks the screen after %2, but not while Tavrin&apos;s idle watcher runs: it turns that off</source>
        <translation>%1 éteint l&apos;écran après %2, mais pas tant que le veilleur d&apos;inactivité de Tavrin tourne : il le désactive</translation>
    </message>
    <message>
        <source>%1&apos;s own blank is off while Tavrin&apos;s idle watcher runs</source>
        <translation>L&apos;extinction propre de %1 est désactivée tant que le veilleur d&apos;inactivité de Tavrin tourne</translation>
    </message>
    <message>
        <source>Not read: %1</source>
        <translation>Non lu : %1</translation>
    </message>
    <message>
        <source> (on battery)</source>
        <translation> (sur batterie)</translation>
    </message>
    <message>
        <source>First%1: %2 %3 after %4</source>
        <translation>En premier%1 : %2 %3 après %4</translation>
    </message>
    <message>
        <source>First%1: nothing; %2 never hides the screen</source>
        <translation>En premier%1 : rien ; %2 ne cache jamais l&apos;écran</translation>
    </message>
    <message>
        <source>They are changed in %1</source>
        <translation>Elles se changent dans %1</translation>
    </message>
    <message>
        <source>%1 %2 after %3, after Tavrin&apos;s %4</source>
        <translation>%1 %2 après %3, après Tavrin (%4)</translation>
    </message>
    <message>
        <source>%1 never hides the screen</source>
        <translation>%1 ne cache jamais l&apos;écran</translation>
    </message>
</context>
<context>
    <name>IdleSwitch</name>
    <message>
        <source>&amp;Start Tavrin after</source>
        <translation>&amp;Lancer Tavrin après</translation>
    </message>
    <message>
        <source>Starts the screen saver when the computer has been idle for the minutes that follow</source>
        <translation>Lance l&apos;économiseur d&apos;écran quand l&apos;ordinateur est resté inactif pendant le nombre de minutes qui suit</translation>
    </message>
    <message>
        <source>Minutes of inactivity</source>
        <translation>Minutes d&apos;inactivité</translation>
    </message>
    <message>
        <source>minutes of inactivity</source>
        <translation>minutes d&apos;inactivité</translation>
    </message>
    <message>
        <source>Tavrin&apos;s idle watcher is not running in this session; &apos;journalctl -t org.tavrin.screensaver&apos; says why.</source>
        <translation>Le guetteur d&apos;inactivité de Tavrin ne fonctionne pas dans cette session ; &apos;journalctl -t org.tavrin.screensaver&apos; dit pourquoi.</translation>
    </message>
    <message>
        <source>The desktop&apos;s own timers</source>
        <translation>Les délais propres du bureau</translation>
    </message>
    <message>
        <source>What keeps the screen awake</source>
        <translation>Ce qui garde l&apos;écran allumé</translation>
    </message>
    <message>
        <source>Half the frame rate</source>
        <translation>Moitié des images</translation>
    </message>
    <message>
        <source>Full frame rate</source>
        <translation>Toutes les images</translation>
    </message>
    <message>
        <source>Don&apos;t start Tavrin</source>
        <translation>Ne pas lancer Tavrin</translation>
    </message>
    <message>
        <source>What Tavrin does on battery</source>
        <translation>Ce que fait Tavrin sur batterie</translation>
    </message>
    <message>
        <source>&amp;On battery:</source>
        <translation>&amp;Sur batterie :</translation>
    </message>
    <message>
        <source>Kept away now: %1</source>
        <translation>Tenu à l&apos;écart : %1</translation>
    </message>
    <message>
        <source>Kept away now by %1</source>
        <translation>Tenu à l&apos;écart par %1</translation>
    </message>
    <message>
        <source>Kept away now by %1: %2</source>
        <translation>Tenu à l&apos;écart par %1 : %2</translation>
    </message>
    <message>
        <source>Change the desktop&apos;s times in %1.</source>
        <translation>Changez les délais du bureau dans %1.</translation>
    </message>
    <message>
        <source>The desktop&apos;s times could not be changed: %1</source>
        <translation>Les délais du bureau n&apos;ont pas pu être changés : %1</translation>
    </message>
    <message>
        <source>Start &amp;Tavrin after 1 minute</source>
        <translation>Lancer &amp;Tavrin après 1 minute</translation>
    </message>
    <message>
        <source>Start &amp;Tavrin after %1 minutes</source>
        <translation>Lancer &amp;Tavrin après %1 minutes</translation>
    </message>
    <message>
        <source>Let GNOME &amp;blank after 1 minute</source>
        <translation>Laisser GNOME é&amp;teindre après 1 minute</translation>
    </message>
    <message>
        <source>Let GNOME &amp;blank after %1 minutes</source>
        <translation>Laisser GNOME é&amp;teindre après %1 minutes</translation>
    </message>
    <message>
        <source>Let the X server turn the &amp;displays off after 1 minute</source>
        <translation>Laisser le serveur X éteindre les &amp;moniteurs après 1 minute</translation>
    </message>
    <message>
        <source>Let the X server turn the &amp;displays off after %1 minutes</source>
        <translation>Laisser le serveur X éteindre les &amp;moniteurs après %1 minutes</translation>
    </message>
</context>
<context>
    <name>OptionsSheet</name>
    <message>
        <source>Tavrin Screensaver Options</source>
        <translation>Options de l&apos;économiseur d&apos;écran Tavrin</translation>
    </message>
    <message>
        <source>Visual Effects</source>
        <translation>Effets visuels</translation>
    </message>
    <message>
        <source>Fade Trails</source>
        <translation>Traînées qui s&apos;estompent</translation>
    </message>
    <message>
        <source>Neon Glow</source>
        <translation>Halo néon</translation>
    </message>
    <message>
        <source>Collision Flash</source>
        <translation>Éclair aux collisions</translation>
    </message>
    <message>
        <source>Color Drift</source>
        <translation>Dérive des couleurs</translation>
    </message>
    <message>
        <source>Starfield Background</source>
        <translation>Fond de ciel étoilé</translation>
    </message>
    <message>
        <source>Collision Sparks</source>
        <translation>Étincelles aux collisions</translation>
    </message>
    <message>
        <source>Cross-Monitor Sparks</source>
        <translation>Étincelles d&apos;un écran à l&apos;autre</translation>
    </message>
    <message>
        <source>Ball Curve (Magnus Effect)</source>
        <translation>Trajectoire courbe (effet Magnus)</translation>
    </message>
    <message>
        <source>Spin bends the wheel&apos;s flight path, the way a struck ball curves. Speed is unaffected, so it still reaches every part of the screen.</source>
        <translation>La rotation courbe la trajectoire de la roue, comme celle d&apos;une balle frappée avec effet. La vitesse ne change pas : la roue atteint toujours chaque partie de l&apos;écran.</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Trail Length:</source>
        <translation>Traînée :</translation>
    </message>
    <message>
        <source>Glow Size:</source>
        <translation>Halo :</translation>
    </message>
    <message>
        <source>Star Count:</source>
        <translation>Étoiles :</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Version: %1 (%2) — built %3</source>
        <translation>Version : %1 (%2) — compilée le %3</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Tavrin Screen Saver</source>
        <translation>Économiseur d&apos;écran Tavrin</translation>
    </message>
    <message>
        <source>Tavrin — live preview</source>
        <translation>Tavrin — aperçu en direct</translation>
    </message>
    <message>
        <source>Live preview of the screen saver</source>
        <translation>Aperçu en direct de l&apos;économiseur d&apos;écran</translation>
    </message>
    <message>
        <source>Options…</source>
        <translation>Options…</translation>
    </message>
    <message>
        <source>Opens the screen saver&apos;s options</source>
        <translation>Ouvre les options de l&apos;économiseur d&apos;écran</translation>
    </message>
</context>
</TS>
