<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>CommandLine</name>
    <message>
        <source>option %1 takes no value</source>
        <translation>la opción %1 no admite ningún valor</translation>
    </message>
    <message>
        <source>invalid window size %1 (expected WxH, each side 1 to %2)</source>
        <translation>tamaño de ventana %1 no válido (se esperaba AnxAl, cada lado de 1 a %2)</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>la opción %1 necesita un valor</translation>
    </message>
    <message>
        <source>invalid value %1 for %2 (expected %3 to %4)</source>
        <translation>valor %1 no válido para %2 (se esperaba de %3 a %4)</translation>
    </message>
    <message>
        <source>option &apos;--render&apos; needs a folder</source>
        <translation>la opción &apos;--render&apos; necesita una carpeta</translation>
    </message>
    <message>
        <source>invalid size %1 (expected WxH, each side 1 to %2)</source>
        <translation>tamaño %1 no válido (se esperaba AnxAl, cada lado de 1 a %2)</translation>
    </message>
    <message>
        <source>option &apos;--screens&apos; needs a file</source>
        <translation>la opción &apos;--screens&apos; necesita un archivo</translation>
    </message>
    <message>
        <source>option &apos;--trace&apos; needs a file</source>
        <translation>la opción &apos;--trace&apos; necesita un archivo</translation>
    </message>
    <message>
        <source>option &apos;--output&apos; needs an output&apos;s name</source>
        <translation>la opción &apos;--output&apos; necesita el nombre de una salida</translation>
    </message>
    <message>
        <source>invalid window id %1 (expected 0x1234abcd or a decimal number)</source>
        <translation>identificador de ventana %1 no válido (se esperaba 0x1234abcd o un número decimal)</translation>
    </message>
    <message>
        <source>invalid time %1 for &apos;--after&apos; (expected minutes, or seconds with an &apos;s&apos;: 10, 90s; at most a day)</source>
        <translation>tiempo %1 no válido para &apos;--after&apos; (se esperaban minutos, o segundos con una &apos;s&apos;: 10, 90s; como mucho un día)</translation>
    </message>
    <message>
        <source>invalid seed %1 (expected a whole number from 0 to 2^64-1)</source>
        <translation>semilla %1 no válida (se esperaba un número entero de 0 a 2^64-1)</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>opción desconocida %1</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>argumento inesperado %1</translation>
    </message>
    <message>
        <source>&apos;--after&apos; goes with &apos;--idle-watch&apos;</source>
        <translation>&apos;--after&apos; va con &apos;--idle-watch&apos;</translation>
    </message>
    <message>
        <source>&apos;--output&apos; cannot be passed on by &apos;--idle-watch&apos;: the saver covers every display</source>
        <translation>&apos;--idle-watch&apos; no puede transmitir &apos;--output&apos;: el salvapantallas cubre todas las pantallas</translation>
    </message>
    <message>
        <source>&apos;--fps&apos; needs a view on a display</source>
        <translation>&apos;--fps&apos; necesita una vista en una pantalla</translation>
    </message>
    <message>
        <source>&apos;--frames&apos;, &apos;--every&apos;, &apos;--size&apos; and &apos;--screens&apos; need &apos;--render&apos;</source>
        <translation>&apos;--frames&apos;, &apos;--every&apos;, &apos;--size&apos; y &apos;--screens&apos; necesitan &apos;--render&apos;</translation>
    </message>
    <message>
        <source>&apos;--trace&apos; needs a mode that draws the screen saver</source>
        <translation>&apos;--trace&apos; necesita un modo que dibuje el salvapantallas</translation>
    </message>
    <message>
        <source>&apos;--render&apos; needs &apos;--frames N&apos;</source>
        <translation>&apos;--render&apos; necesita &apos;--frames N&apos;</translation>
    </message>
    <message>
        <source>give either &apos;--size&apos; or &apos;--screens&apos;, not both</source>
        <translation>indique &apos;--size&apos; o &apos;--screens&apos;, no ambos</translation>
    </message>
    <message>
        <source>&apos;--seed&apos; has no meaning with &apos;--show-settings&apos;</source>
        <translation>&apos;--seed&apos; no tiene sentido con &apos;--show-settings&apos;</translation>
    </message>
    <message>
        <source>settings for one run cannot be combined with &apos;--settings&apos;, which saves what it shows</source>
        <translation>los ajustes para una sola ejecución no se pueden combinar con &apos;--settings&apos;, que guarda lo que muestra</translation>
    </message>
    <message>
        <source>Usage: tavrin [OPTION]...</source>
        <translation>Uso: tavrin [OPCIÓN]...</translation>
    </message>
    <message>
        <source>A logo and a spinning wheel fly over a starfield, bounce and throw sparks.</source>
        <translation>Un logotipo y una rueda que gira vuelan sobre un cielo estrellado, rebotan y
lanzan chispas.</translation>
    </message>
    <message>
        <source>Without options, shows the screen saver full screen on every display until a key
is pressed, the mouse is clicked or moved, or the program receives SIGTERM or SIGINT.</source>
        <translation>Sin opciones, muestra el salvapantallas a pantalla completa en cada pantalla
hasta que se pulsa una tecla, se hace clic o se mueve el ratón, o el programa
recibe SIGTERM o SIGINT.</translation>
    </message>
    <message>
        <source>Modes:</source>
        <translation>Modos:</translation>
    </message>
    <message>
        <source>show one view in an ordinary window (default 960x540)</source>
        <translation>mostrar una vista en una ventana normal
(960x540 por omisión)</translation>
    </message>
    <message>
        <source>draw N frames without a display and write PNG pictures
DIR/display&lt;i&gt;-frame&lt;n&gt;.png</source>
        <translation>dibujar N fotogramas sin pantalla y escribir imágenes
PNG DIR/display&lt;i&gt;-frame&lt;n&gt;.png</translation>
    </message>
    <message>
        <source>write every K-th frame (the last one always)</source>
        <translation>escribir uno de cada K fotogramas (siempre el último)</translation>
    </message>
    <message>
        <source>one display of that size (default 1920x1080)</source>
        <translation>una pantalla de ese tamaño (1920x1080 por omisión)</translation>
    </message>
    <message>
        <source>the displays described in a JSON file:</source>
        <translation>las pantallas descritas en un archivo JSON:</translation>
    </message>
    <message>
        <source>a window with a live preview and the options sheet</source>
        <translation>una ventana con vista previa en directo y las opciones</translation>
    </message>
    <message>
        <source>print the settings in effect and the settings file</source>
        <translation>mostrar los ajustes vigentes y el archivo de ajustes</translation>
    </message>
    <message>
        <source>draw into the window named by XSCREENSAVER_WINDOW, or the
root window (X only; how XScreenSaver runs its hacks)</source>
        <translation>dibujar en la ventana indicada por XSCREENSAVER_WINDOW,
o en la ventana raíz (solo X; así ejecuta XScreenSaver
sus módulos)</translation>
    </message>
    <message>
        <source>draw into the X window ID (0x... or decimal); a small
window, or --root with --window-id, is a preview</source>
        <translation>dibujar en la ventana X ID (0x... o decimal); una
ventana pequeña, o --root con --window-id, es una vista
previa</translation>
    </message>
    <message>
        <source>stay in the session and start the screen saver full screen
when the user has been idle for the time in the settings
(10 minutes unless set); the saver&apos;s options given with it
are passed on to every saver it starts</source>
        <translation>quedarse en la sesión e iniciar el salvapantallas a
pantalla completa cuando el usuario lleva inactivo el
tiempo de los ajustes (10 minutos si no se indica); las
opciones del salvapantallas dadas con ella pasan a cada
salvapantallas que inicia</translation>
    </message>
    <message>
        <source>this time instead, for this run: minutes, or seconds with
an &apos;s&apos; (--after 5, --after 30s)</source>
        <translation>este tiempo en su lugar, para esta ejecución: minutos,
o segundos con una &apos;s&apos; (--after 5, --after 30s)</translation>
    </message>
    <message>
        <source>layer-shell surfaces, or fail (status 1) without them</source>
        <translation>superficies layer-shell, o un fallo (estado 1) sin
ellas</translation>
    </message>
    <message>
        <source>draw on the background layer of every output until SIGTERM
or the compositor&apos;s connection ends, never stopping on
input: an animated background for a lock screen such as
swaylock-plugin (it takes the connection from
WAYLAND_SOCKET, and the output from
SWAYLOCK_PLUGIN_OUTPUT_NAME)</source>
        <translation>dibujar en la capa de fondo de cada salida hasta
SIGTERM o hasta que termine la conexión con el
compositor, sin detenerse nunca con la entrada: un
fondo animado para una pantalla de bloqueo como
swaylock-plugin (toma la conexión de WAYLAND_SOCKET y
la salida de SWAYLOCK_PLUGIN_OUTPUT_NAME)</translation>
    </message>
    <message>
        <source>Settings for this run (they win over the settings file, which they leave alone):</source>
        <translation>Ajustes para esta ejecución (prevalecen sobre el archivo de ajustes, que no
modifican):</translation>
    </message>
    <message>
        <source>(default on)</source>
        <translation>(activado por omisión)</translation>
    </message>
    <message>
        <source>(default off)</source>
        <translation>(desactivado por omisión)</translation>
    </message>
    <message>
        <source>%1, %2 to %3 (default %4)</source>
        <translation>%1, de %2 a %3 (%4 por omisión)</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Opciones:</translation>
    </message>
    <message>
        <source>use a fixed random seed (reproducible runs)</source>
        <translation>usar una semilla aleatoria fija (ejecuciones
reproducibles)</translation>
    </message>
    <message>
        <source>copy log lines to standard error</source>
        <translation>copiar las líneas del registro a la salida de errores</translation>
    </message>
    <message>
        <source>show the frame rate in a corner</source>
        <translation>mostrar los fotogramas por segundo en una esquina</translation>
    </message>
    <message>
        <source>write the scene of every display after every frame as
one JSON object per line; %p in FILE is the process id</source>
        <translation>escribir la escena de cada pantalla tras cada
fotograma, un objeto JSON por línea; %p en FILE es el
número del proceso</translation>
    </message>
    <message>
        <source>print this help and exit</source>
        <translation>mostrar esta ayuda y salir</translation>
    </message>
    <message>
        <source>print the version and exit</source>
        <translation>mostrar la versión y salir</translation>
    </message>
    <message>
        <source>Exit status: 0 on success, 1 when the program cannot run (no display, a file that
cannot be written), 2 for a malformed command line.
Every long option may also be written with a single dash (-root, -window-id ID).</source>
        <translation>Estado de salida: 0 si todo va bien, 1 si el programa no puede funcionar (sin
pantalla, un archivo que no se puede escribir), 2 si la línea de órdenes está
mal formada. Cada opción larga también se puede escribir con un solo guion
(-root, -window-id ID).</translation>
    </message>
    <message>
        <source>no display to show the screen saver on</source>
        <translation>no hay ninguna pantalla donde mostrar el salvapantallas</translation>
    </message>
    <message>
        <source>cannot write the trace &apos;%1&apos;: %2</source>
        <translation>no se puede escribir la traza &apos;%1&apos;: %2</translation>
    </message>
    <message>
        <source>cannot create the folder &apos;%1&apos;</source>
        <translation>no se puede crear la carpeta &apos;%1&apos;</translation>
    </message>
    <message>
        <source>no display to draw on</source>
        <translation>no hay ninguna pantalla donde dibujar</translation>
    </message>
    <message>
        <source>cannot write &apos;%1&apos;</source>
        <translation>no se puede escribir &apos;%1&apos;</translation>
    </message>
    <message>
        <source>XSCREENSAVER_WINDOW is not a window id: &apos;%1&apos;</source>
        <translation>XSCREENSAVER_WINDOW no es un identificador de ventana: &apos;%1&apos;</translation>
    </message>
    <message>
        <source>the X server has no root window</source>
        <translation>el servidor X no tiene ventana raíz</translation>
    </message>
    <message>
        <source>&apos;--root&apos; and &apos;--window-id&apos; draw into an X window, and Qt is not running on X</source>
        <translation>&apos;--root&apos; y &apos;--window-id&apos; dibujan en una ventana X, y Qt no se está ejecutando en X</translation>
    </message>
    <message>
        <source>%1; &apos;--background&apos; draws on layer-shell surfaces only</source>
        <translation>%1; &apos;--background&apos; solo dibuja en superficies layer-shell</translation>
    </message>
    <message>
        <source>Try &apos;tavrin --help&apos; for more information.</source>
        <translation>Pruebe &apos;tavrin --help&apos; para más información.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; needs a Wayland compositor (WAYLAND_DISPLAY or WAYLAND_SOCKET)</source>
        <translation>&apos;%1&apos; necesita un compositor de Wayland (WAYLAND_DISPLAY o WAYLAND_SOCKET)</translation>
    </message>
    <message>
        <source>&apos;--root&apos; and &apos;--window-id&apos; draw into an X window, but %1; on a Wayland desktop run &apos;tavrin&apos; without options instead</source>
        <translation>&apos;--root&apos; y &apos;--window-id&apos; dibujan en una ventana X, pero %1; en un escritorio Wayland ejecute &apos;tavrin&apos; sin opciones</translation>
    </message>
    <message>
        <source>no display available: neither DISPLAY nor WAYLAND_DISPLAY is set (use --render DIR --frames N to draw without one)</source>
        <translation>no hay pantalla disponible: no está definida ni DISPLAY ni WAYLAND_DISPLAY (use --render DIR --frames N para dibujar sin pantalla)</translation>
    </message>
    <message>
        <source>choose one of &apos;--window&apos;, &apos;--root&apos; (or &apos;--window-id&apos;), &apos;--render&apos;, &apos;--show-settings&apos;, &apos;--settings&apos;, &apos;--background&apos;, &apos;--idle-watch&apos; and &apos;--idle-status&apos;</source>
        <translation>elija uno de &apos;--window&apos;, &apos;--root&apos; (o &apos;--window-id&apos;), &apos;--render&apos;, &apos;--show-settings&apos;, &apos;--settings&apos;, &apos;--background&apos;, &apos;--idle-watch&apos; y &apos;--idle-status&apos;</translation>
    </message>
    <message>
        <source>&apos;--idle-status&apos; takes no other option but &apos;--log-stderr&apos;</source>
        <translation>&apos;--idle-status&apos; no admite otra opción que &apos;--log-stderr&apos;</translation>
    </message>
    <message>
        <source>&apos;--half-rate&apos; goes with a mode that draws on a display: the full-screen saver, &apos;--window&apos;, &apos;--root&apos; or &apos;--window-id&apos;, &apos;--background&apos;</source>
        <translation>&apos;--half-rate&apos; va con un modo que dibuja en una pantalla: el salvapantallas a pantalla completa, &apos;--window&apos;, &apos;--root&apos; o &apos;--window-id&apos;, &apos;--background&apos;</translation>
    </message>
    <message>
        <source>&apos;--layer-shell&apos;, &apos;--no-layer-shell&apos; and &apos;--no-own-wayland&apos; choose how the full-screen saver is shown on Wayland; they go with no other mode</source>
        <translation>&apos;--layer-shell&apos;, &apos;--no-layer-shell&apos; y &apos;--no-own-wayland&apos; eligen cómo se muestra el salvapantallas a pantalla completa en Wayland; no van con ningún otro modo</translation>
    </message>
    <message>
        <source>&apos;--output&apos; names a Wayland output for surfaces of our own: it goes with the full-screen saver or &apos;--background&apos;, not with &apos;--no-own-wayland&apos;</source>
        <translation>&apos;--output&apos; nombra una salida de Wayland para superficies propias: va con el salvapantallas a pantalla completa o &apos;--background&apos;, no con &apos;--no-own-wayland&apos;</translation>
    </message>
    <message>
        <source>say whether an idle watcher runs in this session, when the
desktop blanks, locks and sleeps, and what keeps the screen
saver away now (exit status 3 when no watcher runs)</source>
        <translation>decir si un vigilante de inactividad funciona en esta
sesión, cuándo el escritorio apaga, bloquea y suspende,
y qué mantiene alejado el salvapantallas ahora
(estado de salida 3 si ningún vigilante funciona)</translation>
    </message>
    <message>
        <source>On Wayland, full screen uses layer-shell surfaces where the compositor offers them
(sway, Hyprland, KDE Plasma...), else fullscreen windows of its own (GNOME, weston):</source>
        <translation>En Wayland, la pantalla completa usa superficies layer-shell donde el
compositor las ofrece (sway, Hyprland, KDE Plasma...); si no, ventanas
propias a pantalla completa (GNOME, weston):</translation>
    </message>
    <message>
        <source>fullscreen windows of its own even where there are
layer-shell surfaces</source>
        <translation>ventanas propias a pantalla completa, aunque haya
superficies layer-shell</translation>
    </message>
    <message>
        <source>full-screen windows through Qt&apos;s Wayland platform</source>
        <translation>ventanas a pantalla completa con la plataforma
Wayland de Qt</translation>
    </message>
    <message>
        <source>draw on the output NAME only (not with --no-own-wayland)</source>
        <translation>dibujar solo en la salida NAME (no con
--no-own-wayland)</translation>
    </message>
    <message>
        <source>draw every second frame (the motion is unchanged), as on
battery; SIGUSR1 turns this on, SIGUSR2 off</source>
        <translation>dibujar una imagen de cada dos (el movimiento no
cambia), como con batería; SIGUSR1 lo activa,
SIGUSR2 lo desactiva</translation>
    </message>
    <message>
        <source>%1; without &apos;--layer-shell&apos; other surfaces are used instead</source>
        <translation>%1; sin &apos;--layer-shell&apos; se usan otras superficies en su lugar</translation>
    </message>
</context>
<context>
    <name>DesktopTimers</name>
    <message>
        <source>blanks and locks the screen</source>
        <translation>apaga y bloquea la pantalla</translation>
    </message>
    <message>
        <source>blanks the screen</source>
        <translation>apaga la pantalla</translation>
    </message>
    <message>
        <source>locks the screen</source>
        <translation>bloquea la pantalla</translation>
    </message>
    <message>
        <source>turns the displays off</source>
        <translation>apaga los monitores</translation>
    </message>
    <message>
        <source>puts the machine to sleep</source>
        <translation>suspende el equipo</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 y %2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>after %1</source>
        <translation>después de %1</translation>
    </message>
    <message>
        <source>never</source>
        <translation>nunca</translation>
    </message>
    <message>
        <source>%1 never %2</source>
        <translation>%1 %2: nunca</translation>
    </message>
    <message>
        <source>%1 %2 %3</source>
        <translation>%1 %2: %3</translation>
    </message>
    <message>
        <source>%1 %2 %3 on mains power and %4 on battery</source>
        <translation>%1 %2: %3 con corriente, %4 con batería</translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>1 hora</translation>
    </message>
    <message>
        <source>%1 hours</source>
        <translation>%1 horas</translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation>1 minuto</translation>
    </message>
    <message>
        <source>%1 minutes</source>
        <translation>%1 minutos</translation>
    </message>
    <message>
        <source>1 second</source>
        <translation>1 segundo</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 segundos</translation>
    </message>
    <message>
        <source>%1 minutes %2</source>
        <translation>%1 minutos %2</translation>
    </message>
    <message>
        <source>before Tavrin&apos;s %1</source>
        <translation>antes que Tavrin (%1)</translation>
    </message>
    <message>
        <source>at the same time as Tavrin&apos;s %1</source>
        <translation>al mismo tiempo que Tavrin (%1)</translation>
    </message>
    <message>
        <source>%1 %2 after %3, %4: the screen saver would not be seen</source>
        <translation>%1 %2 después de %3, %4: el salvapantallas no se vería</translation>
    </message>
    <message>
        <source>The desktop&apos;s</source>
        <translation>El escritorio:</translation>
    </message>
    <message>
        <source>%1&apos;s</source>
        <translation>%1:</translation>
    </message>
    <message>
        <source>%1 own times are unknown: %2</source>
        <translation>%1 tiempos propios desconocidos (%2)</translation>
    </message>
    <message>
        <source>%1 blanks the screen after %2, but not while Tavrin&apos;s idle watcher runs: it turns that off</source>
        <translation>%1 apaga la pantalla después de %2, pero no mientras funcione el vigilante de inactividad de Tavrin: lo desactiva</translation>
    </message>
    <message>
        <source>%1&apos;s own blank is off while Tavrin&apos;s idle watcher runs</source>
        <translation>El apagado propio de %1 está desactivado mientras funcione el vigilante de inactividad de Tavrin</translation>
    </message>
    <message>
        <source>Not read: %1</source>
        <translation>No leído: %1</translation>
    </message>
    <message>
        <source> (on battery)</source>
        <translation> (con batería)</translation>
    </message>
    <message>
        <source>First%1: %2 %3 after %4</source>
        <translation>Primero%1: %2 %3 después de %4</translation>
    </message>
    <message>
        <source>First%1: nothing; %2 never hides the screen</source>
        <translation>Primero%1: nada; %2 nunca oculta la pantalla</translation>
    </message>
    <message>
        <source>They are changed in %1</source>
        <translation>Se cambian en %1</translation>
    </message>
    <message>
        <source>%1 %2 after %3, after Tavrin&apos;s %4</source>
        <translation>%1 %2 después de %3, después de Tavrin (%4)</translation>
    </message>
    <message>
        <source>%1 never hides the screen</source>
        <translation>%1 nunca oculta la pantalla</translation>
    </message>
</context>
<context>
    <name>IdleSwitch</name>
    <message>
        <source>&amp;Start Tavrin after</source>
        <translation>&amp;Iniciar Tavrin tras</translation>
    </message>
    <message>
        <source>Starts the screen saver when the computer has been idle for the minutes that follow</source>
        <translation>Inicia el salvapantallas cuando el ordenador ha estado inactivo durante los minutos que se indican a continuación</translation>
    </message>
    <message>
        <source>Minutes of inactivity</source>
        <translation>Minutos de inactividad</translation>
    </message>
    <message>
        <source>minutes of inactivity</source>
        <translation>minutos de inactividad</translation>
    </message>
    <message>
        <source>Tavrin&apos;s idle watcher is not running in this session; &apos;journalctl -t org.tavrin.screensaver&apos; says why.</source>
        <translation>El vigilante de inactividad de Tavrin no se está ejecutando en esta sesión; &apos;journalctl -t org.tavrin.screensaver&apos; indica el motivo.</translation>
    </message>
    <message>
        <source>The desktop&apos;s own timers</source>
        <translation>Los tiempos propios del escritorio</translation>
    </message>
    <message>
        <source>What keeps the screen awake</source>
        <translation>Lo que mantiene la pantalla encendida</translation>
    </message>
    <message>
        <source>Half the frame rate</source>
        <translation>Mitad de imágenes</translation>
    </message>
    <message>
        <source>Full frame rate</source>
        <translation>Todas las imágenes</translation>
    </message>
    <message>
        <source>Don&apos;t start Tavrin</source>
        <translation>No iniciar Tavrin</translation>
    </message>
    <message>
        <source>What Tavrin does on battery</source>
        <translation>Lo que hace Tavrin con batería</translation>
    </message>
    <message>
        <source>&amp;On battery:</source>
        <translation>&amp;Con batería:</translation>
    </message>
    <message>
        <source>Kept away now: %1</source>
        <translation>Mantenido alejado: %1</translation>
    </message>
    <message>
        <source>Kept away now by %1</source>
        <translation>Mantenido alejado por %1</translation>
    </message>
    <message>
        <source>Kept away now by %1: %2</source>
        <translation>Mantenido alejado por %1: %2</translation>
    </message>
    <message>
        <source>Change the desktop&apos;s times in %1.</source>
        <translation>Cambie los tiempos del escritorio en %1.</translation>
    </message>
    <message>
        <source>The desktop&apos;s times could not be changed: %1</source>
        <translation>No se pudieron cambiar los tiempos del escritorio: %1</translation>
    </message>
    <message>
        <source>Start &amp;Tavrin after 1 minute</source>
        <translation>Iniciar &amp;Tavrin tras 1 minuto</translation>
    </message>
    <message>
        <source>Start &amp;Tavrin after %1 minutes</source>
        <translation>Iniciar &amp;Tavrin tras %1 minutos</translation>
    </message>
    <message>
        <source>Let GNOME &amp;blank after 1 minute</source>
        <translation>Dejar que GNOME &amp;apague tras 1 minuto</translation>
    </message>
    <message>
        <source>Let GNOME &amp;blank after %1 minutes</source>
        <translation>Dejar que GNOME &amp;apague tras %1 minutos</translation>
    </message>
    <message>
        <source>Let the X server turn the &amp;displays off after 1 minute</source>
        <translation>Dejar que el servidor X apague los &amp;monitores tras 1 minuto</translation>
    </message>
    <message>
        <source>Let the X server turn the &amp;displays off after %1 minutes</source>
        <translation>Dejar que el servidor X apague los &amp;monitores tras %1 minutos</translation>
    </message>
</context>
<context>
    <name>OptionsSheet</name>
    <message>
        <source>Tavrin Screensaver Options</source>
        <translation>Opciones del salvapantallas Tavrin</translation>
    </message>
    <message>
        <source>Visual Effects</source>
        <translation>Efectos visuales</translation>
    </message>
    <message>
        <source>Fade Trails</source>
        <translation>Estelas que se desvanecen</translation>
    </message>
    <message>
        <source>Neon Glow</source>
        <translation>Brillo de neón</translation>
    </message>
    <message>
        <source>Collision Flash</source>
        <translation>Destello al chocar</translation>
    </message>
    <message>
        <source>Color Drift</source>
        <translation>Variación de color</translation>
    </message>
    <message>
        <source>Starfield Background</source>
        <translation>Fondo de estrellas</translation>
    </message>
    <message>
        <source>Collision Sparks</source>
        <translation>Chispas al chocar</translation>
    </message>
    <message>
        <source>Cross-Monitor Sparks</source>
        <translation>Chispas entre pantallas</translation>
    </message>
    <message>
        <source>Ball Curve (Magnus Effect)</source>
        <translation>Efecto de balón (efecto Magnus)</translation>
    </message>
    <message>
        <source>Spin bends the wheel&apos;s flight path, the way a struck ball curves. Speed is unaffected, so it still reaches every part of the screen.</source>
        <translation>El giro curva la trayectoria de la rueda, como la de un balón golpeado con efecto. La velocidad no cambia, así que sigue llegando a todas las partes de la pantalla.</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
    <message>
        <source>Trail Length:</source>
        <translation>Estela:</translation>
    </message>
    <message>
        <source>Glow Size:</source>
        <translation>Brillo:</translation>
    </message>
    <message>
        <source>Star Count:</source>
        <translation>Estrellas:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Version: %1 (%2) — built %3</source>
        <translation>Versión: %1 (%2) — compilada el %3</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Tavrin Screen Saver</source>
        <translation>Salvapantallas Tavrin</translation>
    </message>
    <message>
        <source>Tavrin — live preview</source>
        <translation>Tavrin — vista previa en directo</translation>
    </message>
    <message>
        <source>Live preview of the screen saver</source>
        <translation>Vista previa en directo del salvapantallas</translation>
    </message>
    <message>
        <source>Options…</source>
        <translation>Opciones…</translation>
    </message>
    <message>
        <source>Opens the screen saver&apos;s options</source>
        <translation>Abre las opciones del salvapantallas</translation>
    </message>
</context>
</TS>
