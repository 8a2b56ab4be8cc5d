<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AppMenu</name>
    <message>
        <source>&amp;New Batch</source>
        <translation>&amp;Neuer Stapel</translation>
    </message>
    <message>
        <source>&amp;Rip Audio CD…</source>
        <translation>Audio-CD &amp;rippen…</translation>
    </message>
    <message>
        <source>&amp;Preferences…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <source>Command &amp;Log</source>
        <translation>Befehls&amp;protokoll</translation>
    </message>
    <message>
        <source>&amp;Clear Log</source>
        <translation>Protokoll &amp;leeren</translation>
    </message>
    <message>
        <source>Orvik &amp;Help</source>
        <translation>Orvik-&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Menu bar</source>
        <translation>Menüleiste</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Log</source>
        <translation>&amp;Protokoll</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
</context>
<context>
    <name>Batch</name>
    <message>
        <source>AddButtonTitle</source>
        <extracomment>Add</extracomment>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>AddPanelTitle</source>
        <extracomment>Select Files to Encode</extracomment>
        <translation>Dateien zum Kodieren auswählen</translation>
    </message>
    <message>
        <source>CannotAdd</source>
        <extracomment>
Cannot add &quot;%@&quot;: %@.
</extracomment>
        <translation>
„%@“ kann nicht hinzugefügt werden: %@.
</translation>
    </message>
    <message>
        <source>CannotEncode</source>
        <extracomment>Cannot encode &quot;%@&quot;: %@.</extracomment>
        <translation>„%@“ kann nicht kodiert werden: %@.</translation>
    </message>
    <message>
        <source>CompletionLibraryFailures</source>
        <extracomment>The music library could not take %u files whole (playlist entry or tags). The command log shows why.</extracomment>
        <translation>%u Dateien konnten nicht vollständig in die Musikbibliothek übernommen werden (Eintrag in der Wiedergabeliste oder Tags). Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>CompletionTitle</source>
        <extracomment>Encoding Complete</extracomment>
        <translation>Kodierung abgeschlossen</translation>
    </message>
    <message>
        <source>DestinationErrorMessage</source>
        <extracomment>The folder &quot;%@&quot; cannot be written. Choose another destination.</extracomment>
        <translation>In den Ordner „%@“ kann nicht geschrieben werden. Wählen Sie einen anderen Zielordner.</translation>
    </message>
    <message>
        <source>DestinationErrorTitle</source>
        <extracomment>Cannot Use Destination Folder</extracomment>
        <translation>Zielordner nicht verwendbar</translation>
    </message>
    <message>
        <source>DestinationFull</source>
        <extracomment>: the destination is full</extracomment>
        <translation>: das Ziel ist voll</translation>
    </message>
    <message>
        <source>DuplicateNameLockedMessage</source>
        <extracomment>Rename file &quot;%@&quot;?</extracomment>
        <translation>Datei „%@“ umbenennen?</translation>
    </message>
    <message>
        <source>DuplicateNameMessage</source>
        <extracomment>Rename file &quot;%@&quot;?</extracomment>
        <translation>Datei „%@“ umbenennen?</translation>
    </message>
    <message>
        <source>DuplicateNameTitle</source>
        <extracomment>Duplicate Filename &quot;%@&quot;</extracomment>
        <translation>Doppelter Dateiname „%@“</translation>
    </message>
    <message>
        <source>EncoderExitStatus</source>
        <extracomment>the encoder ended with status %d</extracomment>
        <translation>der Encoder wurde mit Status %d beendet</translation>
    </message>
    <message>
        <source>EncoderKilled</source>
        <extracomment>the encoder was ended by signal %d (%@)</extracomment>
        <translation>der Encoder wurde durch Signal %d (%@) beendet</translation>
    </message>
    <message>
        <source>EncoderNotStarted</source>
        <extracomment>the encoder could not be started: %@</extracomment>
        <translation>der Encoder konnte nicht gestartet werden: %@</translation>
    </message>
    <message>
        <source>FirstWindowTitle</source>
        <extracomment>Batch Encoding</extracomment>
        <translation>Stapelkodierung</translation>
    </message>
    <message>
        <source>InputCutShort</source>
        <extracomment>it is damaged or cut short: its header promises %@ seconds of audio, the MP3 holds %@</extracomment>
        <translation>die Datei ist beschädigt oder zu kurz: Ihr Header verspricht %@ Sekunden Audio, die MP3-Datei enthält %@</translation>
    </message>
    <message>
        <source>InputEmpty</source>
        <extracomment>it is an empty file</extracomment>
        <translation>die Datei ist leer</translation>
    </message>
    <message>
        <source>InputFolder</source>
        <extracomment>it is a folder</extracomment>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>InputMissing</source>
        <extracomment>it does not exist</extracomment>
        <translation>die Datei existiert nicht</translation>
    </message>
    <message>
        <source>InputNotAudio</source>
        <extracomment>it is not an audio file</extracomment>
        <translation>die Datei ist keine Audiodatei</translation>
    </message>
    <message>
        <source>InputNotRegular</source>
        <extracomment>it is not a regular file</extracomment>
        <translation>die Datei ist keine normale Datei</translation>
    </message>
    <message>
        <source>InputUnreadable</source>
        <extracomment>it cannot be read</extracomment>
        <translation>die Datei kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>LibraryAddFailed</source>
        <extracomment>The music library could not take &quot;%@&quot;: %@.</extracomment>
        <translation>Die Musikbibliothek konnte „%@“ nicht übernehmen: %@.</translation>
    </message>
    <message>
        <source>NameNotUtf8</source>
        <extracomment>its name is not valid UTF-8, so the encoder cannot be given it</extracomment>
        <translation>ihr Name ist kein gültiges UTF-8, daher kann sie dem Encoder nicht übergeben werden</translation>
    </message>
    <message>
        <source>NoCommandLine</source>
        <extracomment>the encoder settings are incomplete</extracomment>
        <translation>die Encoder-Einstellungen sind unvollständig</translation>
    </message>
    <message>
        <source>OverwriteButtonTitle</source>
        <extracomment>Replace</extracomment>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>PartialNotRemoved</source>
        <extracomment>The unfinished file &quot;%@&quot; could not be removed; it is not whole.</extracomment>
        <translation>Die unfertige Datei „%@“ konnte nicht entfernt werden; sie ist unvollständig.</translation>
    </message>
    <message>
        <source>PlaylistEntryFailed</source>
        <extracomment>&quot;%@&quot; could not be added to the playlist: %@.</extracomment>
        <translation>„%@“ konnte nicht zur Wiedergabeliste hinzugefügt werden: %@.</translation>
    </message>
    <message>
        <source>PlaylistFailed</source>
        <extracomment>The music library could not make a playlist: %@. The files are added without one.</extracomment>
        <translation>Die Musikbibliothek konnte keine Wiedergabeliste anlegen: %@. Die Dateien werden ohne Wiedergabeliste hinzugefügt.</translation>
    </message>
    <message>
        <source>RenameButtonTitle</source>
        <extracomment>Rename</extracomment>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>SaveAsPanelTitle</source>
        <extracomment>Save As</extracomment>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>SelectPanelTitle</source>
        <extracomment>Select Destination Folder</extracomment>
        <translation>Zielordner auswählen</translation>
    </message>
    <message>
        <source>SkipButtonTitle</source>
        <extracomment>Skip</extracomment>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>SkipTaskMessage</source>
        <extracomment>Skip file &quot;%@&quot;?</extracomment>
        <translation>Datei „%@“ überspringen?</translation>
    </message>
    <message>
        <source>SkipTaskTitle</source>
        <extracomment>Skip file?</extracomment>
        <translation>Datei überspringen?</translation>
    </message>
    <message>
        <source>StopBatchMessage</source>
        <extracomment>Stop encoding?</extracomment>
        <translation>Kodierung stoppen?</translation>
    </message>
    <message>
        <source>StopBatchTitle</source>
        <extracomment>Stop batch?</extracomment>
        <translation>Stapel stoppen?</translation>
    </message>
    <message>
        <source>TagsFailed</source>
        <extracomment>The tags of &quot;%@&quot; could not be written: %@.</extracomment>
        <translation>Die Tags von „%@“ konnten nicht geschrieben werden: %@.</translation>
    </message>
    <message>
        <source>WindowTitle</source>
        <extracomment>Batch Encoding %u</extracomment>
        <translation>Stapelkodierung %u</translation>
    </message>
    <message>
        <source>CoverLost</source>
        <extracomment>The cover picture of &quot;%@&quot; could not be handed to the encoder.</extracomment>
        <translation>Das Coverbild von „%@“ konnte dem Encoder nicht übergeben werden.</translation>
    </message>
    <message>
        <source>InputChannels</source>
        <extracomment>it has %d channels; the encoder takes mono and stereo only</extracomment>
        <translation>die Datei hat %d Kanäle; der Encoder nimmt nur Mono und Stereo</translation>
    </message>
    <message>
        <source>InputEndMissing</source>
        <extracomment>it is damaged or cut short: its end is missing</extracomment>
        <translation>die Datei ist beschädigt oder abgeschnitten: ihr Ende fehlt</translation>
    </message>
    <message>
        <source>InputNotKind</source>
        <extracomment>it is not a %@ file</extracomment>
        <translation>die Datei ist keine %@-Datei</translation>
    </message>
    <message>
        <source>CompletionEncoded</source>
        <extracomment>%u files encoded into %@.</extracomment>
        <translation>%u Dateien nach %@ kodiert.</translation>
    </message>
    <message>
        <source>CompletionEncodedOne</source>
        <extracomment>1 file encoded into %@.</extracomment>
        <translation>1 Datei nach %@ kodiert.</translation>
    </message>
    <message>
        <source>CompletionFailed</source>
        <extracomment>%u failed.</extracomment>
        <translation>%u fehlgeschlagen.</translation>
    </message>
    <message>
        <source>CompletionFailedSkipped</source>
        <extracomment>%u failed, %u skipped.</extracomment>
        <translation>%u fehlgeschlagen, %u übersprungen.</translation>
    </message>
    <message>
        <source>CompletionFailuresLogged</source>
        <extracomment>The command log shows why.</extracomment>
        <translation>Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>CompletionSkipped</source>
        <extracomment>%u skipped.</extracomment>
        <translation>%u übersprungen.</translation>
    </message>
    <message>
        <source>NoFiles</source>
        <extracomment>No files</extracomment>
        <translation>Keine Dateien</translation>
    </message>
    <message>
        <source>TotalLength</source>
        <extracomment>%u files, %@ in total</extracomment>
        <translation>%u Dateien, insgesamt %@</translation>
    </message>
    <message>
        <source>TotalLengthOne</source>
        <extracomment>1 file, %@</extracomment>
        <translation>1 Datei, %@</translation>
    </message>
    <message>
        <source>UnknownLength</source>
        <extracomment>length unknown</extracomment>
        <translation>Länge unbekannt</translation>
    </message>
    <message>
        <source>CompletionCoverLosses</source>
        <extracomment>%u files were encoded without their cover picture. The command log shows why.</extracomment>
        <translation>%u Dateien wurden ohne ihr Titelbild kodiert. Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>StateDone</source>
        <extracomment>Done</extracomment>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>StateEncoding</source>
        <extracomment>Encoding</extracomment>
        <translation>Wird kodiert</translation>
    </message>
    <message>
        <source>StateFailed</source>
        <extracomment>Failed</extracomment>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>StateSkipped</source>
        <extracomment>Skipped</extracomment>
        <translation>Übersprungen</translation>
    </message>
    <message>
        <source>StateWaiting</source>
        <extracomment>Waiting</extracomment>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>StatusColumn</source>
        <extracomment>Status</extracomment>
        <translation>Status</translation>
    </message>
    <message>
        <source>CompletionMessage</source>
        <extracomment>Batch complete.</extracomment>
        <translation>Stapel abgeschlossen.</translation>
    </message>
    <message>
        <source>CompletionTagLosses</source>
        <extracomment>%u files were encoded without some of their tags. The command log shows why.</extracomment>
        <translation>%u Dateien wurden ohne einen Teil ihrer Tags kodiert. Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>AudioFilesFilter</source>
        <extracomment>Audio files</extracomment>
        <translation>Audiodateien</translation>
    </message>
    <message>
        <source>DestinationMissingMessage</source>
        <extracomment>The folder &quot;%@&quot; does not exist. Choose another destination.</extracomment>
        <translation>Der Ordner „%@“ existiert nicht. Wählen Sie einen anderen Zielordner.</translation>
    </message>
    <message>
        <source>ApplyToAllTitle</source>
        <extracomment>Apply to all files of this batch</extracomment>
        <translation>Für alle Dateien dieses Stapels</translation>
    </message>
    <message>
        <source>FolderNotMade</source>
        <extracomment>the folder &quot;%@&quot; cannot be made</extracomment>
        <translation>der Ordner „%@“ kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>NamePatternLeaves</source>
        <extracomment>The pattern &quot;%@&quot; would write files outside the destination folder. Change &quot;Name files&quot; in the settings.</extracomment>
        <translation>Das Muster „%@“ würde Dateien außerhalb des Zielordners schreiben. Ändern Sie „Dateien benennen“ in den Einstellungen.</translation>
    </message>
    <message>
        <source>NamePatternNoFile</source>
        <extracomment>The pattern &quot;%@&quot; ends without a file name.</extracomment>
        <translation>Das Muster „%@“ endet ohne Dateinamen.</translation>
    </message>
    <message>
        <source>NamePatternTitle</source>
        <extracomment>Cannot Name the Files</extracomment>
        <translation>Dateien können nicht benannt werden</translation>
    </message>
    <message>
        <source>NamePatternUnknown</source>
        <extracomment>The pattern &quot;%@&quot; holds %@, which names nothing. Use {artist}, {album}, {track}, {title} or {name}.</extracomment>
        <translation>Das Muster „%@“ enthält %@, das nichts bezeichnet. Verwenden Sie {artist}, {album}, {track}, {title} oder {name}.</translation>
    </message>
    <message>
        <source>AlbumLoudnessIncomplete</source>
        <extracomment>The files of the album &quot;%@&quot; have track loudness tags only: not every file of the album was encoded and measured.</extracomment>
        <translation>Die Dateien des Albums „%@“ haben nur Lautheits-Tags für den Titel: Nicht jede Datei des Albums wurde kodiert und gemessen.</translation>
    </message>
    <message>
        <source>LoudnessFailed</source>
        <extracomment>The loudness of &quot;%@&quot; could not be measured (%@): the MP3 has no loudness tags.</extracomment>
        <translation>Die Lautheit von „%@“ konnte nicht gemessen werden (%@): Die MP3-Datei hat keine Lautheits-Tags.</translation>
    </message>
    <message>
        <source>LoudnessMeterFailed</source>
        <extracomment>the loudness meter failed</extracomment>
        <translation>die Lautheitsmessung ist gescheitert</translation>
    </message>
    <message>
        <source>LoudnessRawInput</source>
        <extracomment>Headerless input gets no loudness tags: only the encoder knows how to read its samples.</extracomment>
        <translation>Eingaben ohne Header erhalten keine Lautheits-Tags: Nur der Encoder weiß, wie ihre Samples zu lesen sind.</translation>
    </message>
    <message>
        <source>LoudnessSilent</source>
        <extracomment>&quot;%@&quot; holds only silence: the MP3 has no track loudness tags.</extracomment>
        <translation>„%@“ enthält nur Stille: Die MP3-Datei hat keine Lautheits-Tags für den Titel.</translation>
    </message>
    <message>
        <source>LoudnessTagsFailed</source>
        <extracomment>The loudness tags of &quot;%@&quot; could not be written: %@.</extracomment>
        <translation>Die Lautheits-Tags von „%@“ konnten nicht geschrieben werden: %@.</translation>
    </message>
    <message>
        <source>LoudnessUnreadable</source>
        <extracomment>its audio cannot be read</extracomment>
        <translation>ihre Audiodaten können nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>BatchWindow</name>
    <message>
        <source>Batch Encoding</source>
        <translation>Stapelkodierung</translation>
    </message>
    <message>
        <source>F&amp;iles to encode (drop audio files here):</source>
        <translation>Zu kodierende &amp;Dateien (Audiodateien hierher ziehen):</translation>
    </message>
    <message>
        <source>Files to encode</source>
        <translation>Zu kodierende Dateien</translation>
    </message>
    <message>
        <source>The files of this batch, encoded from top to bottom. Drop audio files here or use Add.</source>
        <translation>Die Dateien dieses Stapels, von oben nach unten kodiert. Audiodateien hierher ziehen oder „Hinzufügen“ verwenden.</translation>
    </message>
    <message>
        <source>&amp;Add…</source>
        <translation>&amp;Hinzufügen…</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Choose audio files to add to the batch.</source>
        <translation>Audiodateien wählen, die zum Stapel hinzugefügt werden.</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove file</source>
        <translation>Datei entfernen</translation>
    </message>
    <message>
        <source>Remove the selected file from the batch.</source>
        <translation>Die ausgewählte Datei aus dem Stapel entfernen.</translation>
    </message>
    <message>
        <source>&amp;Tags…</source>
        <translation>&amp;Tags…</translation>
    </message>
    <message>
        <source>Edit tags</source>
        <translation>Tags bearbeiten</translation>
    </message>
    <message>
        <source>Edit the song tags of the selected file.</source>
        <translation>Die Tags des Musikstücks in der ausgewählten Datei bearbeiten.</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <source>Ra&amp;w PCM input (no header)</source>
        <translation>PCM-&amp;Rohdaten (ohne Header)</translation>
    </message>
    <message>
        <source>Raw PCM input</source>
        <translation>PCM-Rohdaten</translation>
    </message>
    <message>
        <source>The files are headerless PCM samples: give their sample rate and bit depth.</source>
        <translation>Die Dateien sind PCM-Samples ohne Header: Abtastrate und Bittiefe angeben.</translation>
    </message>
    <message>
        <source>&amp;Swap byte order</source>
        <translation>&amp;Bytereihenfolge vertauschen</translation>
    </message>
    <message>
        <source>Swap byte order</source>
        <translation>Bytereihenfolge vertauschen</translation>
    </message>
    <message>
        <source>Swap the byte order of the input samples.</source>
        <translation>Die Bytereihenfolge der Eingabe-Samples vertauschen.</translation>
    </message>
    <message>
        <source>Sample rate (kHz):</source>
        <translation>Abtastrate (kHz):</translation>
    </message>
    <message>
        <source>Raw input sample rate</source>
        <translation>Abtastrate der Rohdaten</translation>
    </message>
    <message>
        <source>Sample rate of the raw input, in kHz.</source>
        <translation>Abtastrate der Rohdaten in kHz.</translation>
    </message>
    <message>
        <source>Bit depth:</source>
        <translation>Bittiefe:</translation>
    </message>
    <message>
        <source>Raw input bit depth</source>
        <translation>Bittiefe der Rohdaten</translation>
    </message>
    <message>
        <source>Bits per sample of the raw input.</source>
        <translation>Bits pro Sample der Rohdaten.</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>16</source>
        <translation>16</translation>
    </message>
    <message>
        <source>24</source>
        <translation>24</translation>
    </message>
    <message>
        <source>32</source>
        <translation>32</translation>
    </message>
    <message>
        <source>8 bits</source>
        <translation>8 Bit</translation>
    </message>
    <message>
        <source>16 bits</source>
        <translation>16 Bit</translation>
    </message>
    <message>
        <source>24 bits</source>
        <translation>24 Bit</translation>
    </message>
    <message>
        <source>32 bits</source>
        <translation>32 Bit</translation>
    </message>
    <message>
        <source>Destination:</source>
        <translation>Ziel:</translation>
    </message>
    <message>
        <source>Destination folder</source>
        <translation>Zielordner</translation>
    </message>
    <message>
        <source>&amp;Choose…</source>
        <translation>Aus&amp;wählen…</translation>
    </message>
    <message>
        <source>Choose destination folder</source>
        <translation>Zielordner wählen</translation>
    </message>
    <message>
        <source>Choose the folder the MP3 files are written to.</source>
        <translation>Den Ordner wählen, in den die MP3-Dateien geschrieben werden.</translation>
    </message>
    <message>
        <source>&amp;Encode</source>
        <translation>&amp;Kodieren</translation>
    </message>
    <message>
        <source>Encode</source>
        <translation>Kodieren</translation>
    </message>
    <message>
        <source>Encode every file of the list into the destination folder.</source>
        <translation>Jede Datei der Liste in den Zielordner kodieren.</translation>
    </message>
    <message>
        <source>The folder the MP3 files are written to: type its path (~ is your home folder) or choose it.</source>
        <translation>Der Ordner, in den die MP3-Dateien geschrieben werden: Pfad eingeben (~ ist Ihr Persönlicher Ordner) oder auswählen.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>BadJobs</source>
        <extracomment>the option %@ needs a number of files from 1 to %u, not &quot;%@&quot;</extracomment>
        <translation>die Option %@ braucht eine Anzahl Dateien von 1 bis %u, nicht „%@“</translation>
    </message>
    <message>
        <source>BatchEnded</source>
        <extracomment>%u of %u files</extracomment>
        <translation>%u von %u Dateien</translation>
    </message>
    <message>
        <source>BatchLeft</source>
        <extracomment>, about %@ left</extracomment>
        <translation>, noch etwa %@</translation>
    </message>
    <message>
        <source>CannotReplace</source>
        <extracomment>&quot;%@&quot; exists and cannot be replaced: &quot;%@&quot; skipped.</extracomment>
        <translation>„%@“ gibt es schon und kann nicht ersetzt werden: „%@“ übersprungen.</translation>
    </message>
    <message>
        <source>CoverLosses</source>
        <extracomment>%u files were encoded without their cover picture.</extracomment>
        <translation>%u Dateien wurden ohne ihr Titelbild kodiert.</translation>
    </message>
    <message>
        <source>EmptyFolder</source>
        <extracomment>orvik-encode: &quot;%@&quot; holds no WAV, AIFF, FLAC, Ogg or Opus file</extracomment>
        <translation>orvik-encode: „%@“ enthält keine WAV-, AIFF-, FLAC-, Ogg- oder Opus-Datei</translation>
    </message>
    <message>
        <source>Encoded</source>
        <extracomment>Encoded &quot;%@&quot; as &quot;%@&quot;.</extracomment>
        <translation>„%@“ als „%@“ kodiert.</translation>
    </message>
    <message>
        <source>EncodedMany</source>
        <extracomment>%u files encoded into %@</extracomment>
        <translation>%u Dateien nach %@ kodiert</translation>
    </message>
    <message>
        <source>EncodedOne</source>
        <extracomment>1 file encoded into %@</extracomment>
        <translation>1 Datei nach %@ kodiert</translation>
    </message>
    <message>
        <source>Encoding</source>
        <extracomment>Encoding &quot;%@&quot; (%u of %u)</extracomment>
        <translation>Kodiere „%@“ (%u von %u)</translation>
    </message>
    <message>
        <source>FailedCount</source>
        <extracomment>%u failed</extracomment>
        <translation>%u fehlgeschlagen</translation>
    </message>
    <message>
        <source>LibraryFailures</source>
        <extracomment>The music library could not take %u files whole (playlist entry or tags).</extracomment>
        <translation>Die Musiksammlung konnte %u Dateien nicht vollständig übernehmen (Eintrag in der Wiedergabeliste oder Tags).</translation>
    </message>
    <message>
        <source>MissingValue</source>
        <extracomment>the option %@ needs a value</extracomment>
        <translation>die Option %@ braucht einen Wert</translation>
    </message>
    <message>
        <source>NoFiles</source>
        <extracomment>no files or folders to encode</extracomment>
        <translation>keine Dateien oder Ordner zum Kodieren</translation>
    </message>
    <message>
        <source>NoValue</source>
        <extracomment>the option %@ takes no value</extracomment>
        <translation>die Option %@ nimmt keinen Wert</translation>
    </message>
    <message>
        <source>NotStartedCount</source>
        <extracomment>%u not begun</extracomment>
        <translation>%u nicht begonnen</translation>
    </message>
    <message>
        <source>NothingToEncode</source>
        <extracomment>nothing to encode</extracomment>
        <translation>nichts zu kodieren</translation>
    </message>
    <message>
        <source>OutputUnusable</source>
        <extracomment>the folder &quot;%@&quot; cannot be created or written</extracomment>
        <translation>der Ordner „%@“ kann nicht angelegt oder beschrieben werden</translation>
    </message>
    <message>
        <source>Renamed</source>
        <extracomment>&quot;%@&quot; exists: &quot;%@&quot; is written as &quot;%@&quot;.</extracomment>
        <translation>„%@“ gibt es schon: „%@“ wird als „%@“ geschrieben.</translation>
    </message>
    <message>
        <source>ReplaceAndRename</source>
        <extracomment>--replace and --rename cannot be given together</extracomment>
        <translation>--replace und --rename gehen nicht zusammen</translation>
    </message>
    <message>
        <source>Replacing</source>
        <extracomment>Replacing &quot;%@&quot;.</extracomment>
        <translation>Ersetze „%@“.</translation>
    </message>
    <message>
        <source>SettingsCorrupt</source>
        <extracomment>&quot;%@&quot; is not a settings file of Orvik</extracomment>
        <translation>„%@“ ist keine Einstellungsdatei von Orvik</translation>
    </message>
    <message>
        <source>SettingsUnreadable</source>
        <extracomment>the settings file &quot;%@&quot; cannot be read</extracomment>
        <translation>die Einstellungsdatei „%@“ kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>SkippedCount</source>
        <extracomment>%u skipped</extracomment>
        <translation>%u übersprungen</translation>
    </message>
    <message>
        <source>SkippedExisting</source>
        <extracomment>&quot;%@&quot; exists: &quot;%@&quot; skipped (--replace or --rename encodes it).</extracomment>
        <translation>„%@“ gibt es schon: „%@“ übersprungen (--replace oder --rename kodiert sie).</translation>
    </message>
    <message>
        <source>SkippedOwnOutput</source>
        <extracomment>&quot;%@&quot; was written by this run for another file: &quot;%@&quot; skipped (--rename encodes it).</extracomment>
        <translation>„%@“ hat dieser Lauf für eine andere Datei geschrieben: „%@“ übersprungen (--rename kodiert sie).</translation>
    </message>
    <message>
        <source>StoppedCount</source>
        <extracomment>%u stopped and removed</extracomment>
        <translation>%u angehalten und entfernt</translation>
    </message>
    <message>
        <source>Stopping</source>
        <extracomment>Stopping: the running files are ended and removed.</extracomment>
        <translation>Halte an: die laufenden Dateien werden beendet und entfernt.</translation>
    </message>
    <message>
        <source>UnknownOption</source>
        <extracomment>unknown option &quot;%@&quot;</extracomment>
        <translation>unbekannte Option „%@“</translation>
    </message>
    <message>
        <source>Usage</source>
        <extracomment>Usage: orvik-encode [OPTIONS] FILE...
Encodes audio files into MP3 files with lame, with Orvik&apos;s settings, tags, covers and music
library. A folder given as FILE is searched, with its subfolders, for WAV, AIFF, FLAC, Ogg
and Opus files; their MP3 files keep the subfolders below the output folder.

 -o, --output DIR write the MP3 files into DIR (default: the folder of the last batch,
 else the music folder)
 -j, --jobs N encode N files at once (default: the number chosen in the settings)
 --replace replace an MP3 file that exists already
 --rename write under a free name (&quot;Song 2.mp3&quot;) when the name is taken
 (without either, a file whose MP3 exists is skipped)
 --no-library do not hand the MP3 files to the music library this time
 --settings FILE read the settings from FILE instead of Orvik&apos;s own
 --json print a summary in JSON on standard output
 -q, --quiet print only what went wrong
 --version print the version and exit
 -h, --help print this help and exit

Exit status: 0 every file encoded, 1 some file failed, was skipped or lost its tags, cover
or playlist entry, 2 bad usage or nothing to encode, 130 stopped by Ctrl+C.
</extracomment>
        <translation>Aufruf: orvik-encode [OPTIONEN] DATEI...
Kodiert Audiodateien mit lame zu MP3-Dateien, mit Orviks Einstellungen, Tags, Titelbildern und
Musiksammlung. Ein Ordner als DATEI wird samt Unterordnern nach WAV-, AIFF-, FLAC-, Ogg- und
Opus-Dateien durchsucht; ihre MP3-Dateien behalten die Unterordner unter dem Ausgabeordner.

  -o, --output ORDNER  die MP3-Dateien nach ORDNER schreiben (Vorgabe: der Ordner des letzten
                       Stapels, sonst der Musikordner)
  -j, --jobs N         N Dateien gleichzeitig kodieren (Vorgabe: die Zahl aus den Einstellungen)
      --replace        eine schon vorhandene MP3-Datei ersetzen
      --rename         unter einem freien Namen schreiben („Lied 2.mp3“), wenn der Name vergeben ist
                       (ohne beides wird eine Datei übersprungen, deren MP3-Datei es schon gibt)
      --no-library     die MP3-Dateien diesmal nicht der Musiksammlung übergeben
      --settings DATEI die Einstellungen aus DATEI lesen statt aus Orviks eigenen
      --json           eine Zusammenfassung als JSON auf der Standardausgabe ausgeben
  -q, --quiet          nur ausgeben, was schiefging
      --version        die Version ausgeben und beenden
  -h, --help           diese Hilfe ausgeben und beenden

Rückgabewert: 0 alle Dateien kodiert, 1 eine Datei schlug fehl, wurde übersprungen oder verlor
ihre Tags, ihr Titelbild oder ihren Eintrag in der Wiedergabeliste, 2 falscher Aufruf oder
nichts zu kodieren, 130 mit Strg+C angehalten.
</translation>
    </message>
    <message>
        <source>TagLosses</source>
        <extracomment>%u files were encoded without some of their tags.</extracomment>
        <translation>%u Dateien wurden ohne einen Teil ihrer Tags kodiert.</translation>
    </message>
</context>
<context>
    <name>Global</name>
    <message>
        <source>CancelButtonTitle</source>
        <extracomment>Cancel</extracomment>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Clear Log</source>
        <extracomment>Clear Log</extracomment>
        <translation>Protokoll leeren</translation>
    </message>
    <message>
        <source>Command Log</source>
        <extracomment>Command Log</extracomment>
        <translation>Befehlsprotokoll</translation>
    </message>
    <message>
        <source>ConfirmButtonTitle</source>
        <extracomment>OK</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>LogLineCut</source>
        <extracomment>… (%u more characters of this line left out)</extracomment>
        <translation> … (%u weitere Zeichen dieser Zeile ausgelassen)</translation>
    </message>
    <message>
        <source>QuitButtonTitle</source>
        <extracomment>Quit</extracomment>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>QuitMessage</source>
        <extracomment>Encoding is still in progress. Quitting stops it and removes the files that are not finished.</extracomment>
        <translation>Es wird noch kodiert. Beenden stoppt die Kodierung und entfernt die Dateien, die nicht fertig sind.</translation>
    </message>
    <message>
        <source>QuitTitle</source>
        <extracomment>Quit Orvik?</extracomment>
        <translation>Orvik beenden?</translation>
    </message>
    <message>
        <source>SaveButtonTitle</source>
        <extracomment>Save</extracomment>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>SettingsNotSaved</source>
        <extracomment>Your settings cannot be saved: %@ cannot be written. Changes last until Orvik quits.</extracomment>
        <translation>Ihre Einstellungen können nicht gespeichert werden: %@ ist nicht beschreibbar. Änderungen gelten, bis Orvik beendet wird.</translation>
    </message>
    <message>
        <source>TunesBadPath</source>
        <extracomment>the file name cannot be passed on (error %d)</extracomment>
        <translation>der Dateiname kann nicht übergeben werden (Fehler %d)</translation>
    </message>
    <message>
        <source>TunesError</source>
        <extracomment>error %d</extracomment>
        <translation>Fehler %d</translation>
    </message>
    <message>
        <source>TunesFileNotFound</source>
        <extracomment>the file does not exist (error %d)</extracomment>
        <translation>die Datei existiert nicht (Fehler %d)</translation>
    </message>
    <message>
        <source>TunesIOError</source>
        <extracomment>the file or playlist could not be read or written (error %d)</extracomment>
        <translation>die Datei oder Wiedergabeliste konnte nicht gelesen oder geschrieben werden (Fehler %d)</translation>
    </message>
    <message>
        <source>TunesNoPlaylistName</source>
        <extracomment>every playlist name is taken (error %d)</extracomment>
        <translation>jeder Name für die Wiedergabeliste ist vergeben (Fehler %d)</translation>
    </message>
    <message>
        <source>TunesNoSuchObject</source>
        <extracomment>the music library has no such track or playlist (error %d)</extracomment>
        <translation>die Musikbibliothek kennt diesen Titel oder diese Wiedergabeliste nicht (Fehler %d)</translation>
    </message>
    <message>
        <source>TunesNotAnswering</source>
        <extracomment>the music library does not answer (error %d)</extracomment>
        <translation>die Musikbibliothek antwortet nicht (Fehler %d)</translation>
    </message>
    <message>
        <source>BitRateModeInUse</source>
        <extracomment>Bit rate mode: %@. Only its group below is used; choose the mode on the Format tab.</extracomment>
        <translation>Bitratenmodus: %@. Nur seine Gruppe unten wird verwendet; den Modus wählen Sie im Reiter Format.</translation>
    </message>
    <message>
        <source>HelpTitle</source>
        <extracomment>Orvik Help</extracomment>
        <translation>Orvik-Hilfe</translation>
    </message>
    <message>
        <source>ChooseButtonTitle</source>
        <extracomment>Choose</extracomment>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>UnknownOption</source>
        <extracomment>unknown option &quot;%@&quot;</extracomment>
        <translation>unbekannte Option „%@“</translation>
    </message>
    <message>
        <source>Usage</source>
        <extracomment>Usage: orvik [FILE...]
Opens a batch window with the given audio files; without files, a rip window for an audio CD
in the drive, else an empty batch window.

 -h, --help print this help and exit
 --version print the version and exit
 -- take every argument after it as a file

To encode files from a terminal or a script, without a window, use orvik-encode.
</extracomment>
        <translation>Aufruf: orvik [DATEI...]
Öffnet ein Stapelfenster mit den angegebenen Audiodateien; ohne Dateien ein Rip-Fenster für eine
Audio-CD im Laufwerk, sonst ein leeres Stapelfenster.

  -h, --help     diese Hilfe ausgeben und beenden
      --version  die Version ausgeben und beenden
      --         jedes Argument danach als Datei nehmen

Um Dateien ohne Fenster aus einem Terminal oder Skript zu kodieren: orvik-encode.
</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Preferences tabs</source>
        <translation>Reiter der Einstellungen</translation>
    </message>
    <message>
        <source>Format tab</source>
        <translation>Reiter Format</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Channel mode:</source>
        <translation>Kanalmodus:</translation>
    </message>
    <message>
        <source>Channel mode</source>
        <translation>Kanalmodus</translation>
    </message>
    <message>
        <source>Chosen by the encoder</source>
        <translation>Vom Encoder gewählt</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Joint stereo</source>
        <translation>Joint Stereo</translation>
    </message>
    <message>
        <source>Forced mid/side stereo</source>
        <translation>Erzwungenes Mid/Side-Stereo</translation>
    </message>
    <message>
        <source>Dual channel</source>
        <translation>Zweikanal (Dual Channel)</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Bit rate mode:</source>
        <translation>Bitratenmodus:</translation>
    </message>
    <message>
        <source>Bit rate mode</source>
        <translation>Bitratenmodus</translation>
    </message>
    <message>
        <source>Constant (CBR)</source>
        <translation>Konstant (CBR)</translation>
    </message>
    <message>
        <source>Average (ABR)</source>
        <translation>Durchschnittlich (ABR)</translation>
    </message>
    <message>
        <source>Variable, new algorithm (VBR)</source>
        <translation>Variabel, neuer Algorithmus (VBR)</translation>
    </message>
    <message>
        <source>Variable, old algorithm (VBR)</source>
        <translation>Variabel, alter Algorithmus (VBR)</translation>
    </message>
    <message>
        <source>Output sample rate:</source>
        <translation>Ausgabe-Abtastrate:</translation>
    </message>
    <message>
        <source>Output sample rate</source>
        <translation>Ausgabe-Abtastrate</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>Same as input</source>
        <translation>Wie Eingabe</translation>
    </message>
    <message>
        <source>32 kHz</source>
        <translation>32 kHz</translation>
    </message>
    <message>
        <source>44.1 kHz</source>
        <translation>44,1 kHz</translation>
    </message>
    <message>
        <source>48 kHz</source>
        <translation>48 kHz</translation>
    </message>
    <message>
        <source>&amp;Mix stereo raw input down to mono</source>
        <translation>Stereo-Rohdaten zu &amp;Mono mischen</translation>
    </message>
    <message>
        <source>Mix stereo raw input down to mono</source>
        <translation>Stereo-Rohdaten zu Mono mischen</translation>
    </message>
    <message>
        <source>&amp;Allow different block types in the two channels</source>
        <translation>&amp;Verschiedene Blocktypen in beiden Kanälen erlauben</translation>
    </message>
    <message>
        <source>Allow different block types in the two channels</source>
        <translation>Verschiedene Blocktypen in beiden Kanälen erlauben</translation>
    </message>
    <message>
        <source>&amp;Restore Defaults</source>
        <translation>&amp;Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>Put every setting of the format group back to its factory value</source>
        <translation>Jede Einstellung der Format-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore format defaults</source>
        <translation>Format-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>Music Library</source>
        <translation>Musikbibliothek</translation>
    </message>
    <message>
        <source>Add &amp;encoded files to the music library</source>
        <translation>&amp;Kodierte Dateien zur Musikbibliothek hinzufügen</translation>
    </message>
    <message>
        <source>Hand every finished file to the music library, which also writes its tags</source>
        <translation>Jede fertige Datei an die Musikbibliothek übergeben, die auch ihre Tags schreibt</translation>
    </message>
    <message>
        <source>Add encoded files to the music library</source>
        <translation>Kodierte Dateien zur Musikbibliothek hinzufügen</translation>
    </message>
    <message>
        <source>Make a &amp;playlist for each audio CD</source>
        <translation>Eine &amp;Wiedergabeliste für jede Audio-CD anlegen</translation>
    </message>
    <message>
        <source>Put the tracks of every rip into a new playlist of their own</source>
        <translation>Die Titel jeder gerippten CD in eine eigene neue Wiedergabeliste legen</translation>
    </message>
    <message>
        <source>Make a playlist for each audio CD</source>
        <translation>Eine Wiedergabeliste für jede Audio-CD anlegen</translation>
    </message>
    <message>
        <source>Make a playlist &amp;for each batch of files</source>
        <translation>Eine Wiedergabeliste für jeden &amp;Dateistapel anlegen</translation>
    </message>
    <message>
        <source>Put the files of every batch into a new playlist of their own</source>
        <translation>Die Dateien jedes Stapels in eine eigene neue Wiedergabeliste legen</translation>
    </message>
    <message>
        <source>Make a playlist for each batch of files</source>
        <translation>Eine Wiedergabeliste für jeden Dateistapel anlegen</translation>
    </message>
    <message>
        <source>Restore &amp;Defaults</source>
        <translation>Standardwerte wieder&amp;herstellen</translation>
    </message>
    <message>
        <source>Put every setting of the music library group back to its factory value</source>
        <translation>Jede Einstellung der Musikbibliotheks-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore music library defaults</source>
        <translation>Musikbibliotheks-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>Bit Rate tab</source>
        <translation>Reiter Bitrate</translation>
    </message>
    <message>
        <source>Bit Rate</source>
        <translation>Bitrate</translation>
    </message>
    <message>
        <source>Constant Bit Rate (CBR)</source>
        <translation>Konstante Bitrate (CBR)</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>Qualität:</translation>
    </message>
    <message>
        <source>Best</source>
        <translation>Beste</translation>
    </message>
    <message>
        <source>CBR quality</source>
        <translation>CBR-Qualität</translation>
    </message>
    <message>
        <source>Fastest</source>
        <translation>Schnellste</translation>
    </message>
    <message>
        <source>Bit rate:</source>
        <translation>Bitrate:</translation>
    </message>
    <message>
        <source>CBR bit rate</source>
        <translation>CBR-Bitrate</translation>
    </message>
    <message>
        <source>32 kbit/s</source>
        <translation>32 kbit/s</translation>
    </message>
    <message>
        <source>40 kbit/s</source>
        <translation>40 kbit/s</translation>
    </message>
    <message>
        <source>48 kbit/s</source>
        <translation>48 kbit/s</translation>
    </message>
    <message>
        <source>56 kbit/s</source>
        <translation>56 kbit/s</translation>
    </message>
    <message>
        <source>64 kbit/s</source>
        <translation>64 kbit/s</translation>
    </message>
    <message>
        <source>80 kbit/s</source>
        <translation>80 kbit/s</translation>
    </message>
    <message>
        <source>96 kbit/s</source>
        <translation>96 kbit/s</translation>
    </message>
    <message>
        <source>112 kbit/s</source>
        <translation>112 kbit/s</translation>
    </message>
    <message>
        <source>128 kbit/s</source>
        <translation>128 kbit/s</translation>
    </message>
    <message>
        <source>160 kbit/s</source>
        <translation>160 kbit/s</translation>
    </message>
    <message>
        <source>192 kbit/s</source>
        <translation>192 kbit/s</translation>
    </message>
    <message>
        <source>224 kbit/s</source>
        <translation>224 kbit/s</translation>
    </message>
    <message>
        <source>256 kbit/s</source>
        <translation>256 kbit/s</translation>
    </message>
    <message>
        <source>320 kbit/s</source>
        <translation>320 kbit/s</translation>
    </message>
    <message>
        <source>ATH type:</source>
        <translation>ATH-Typ:</translation>
    </message>
    <message>
        <source>CBR ATH type</source>
        <translation>CBR-ATH-Typ</translation>
    </message>
    <message>
        <source>Type 0</source>
        <translation>Typ 0</translation>
    </message>
    <message>
        <source>Type 1</source>
        <translation>Typ 1</translation>
    </message>
    <message>
        <source>Type 2</source>
        <translation>Typ 2</translation>
    </message>
    <message>
        <source>Type 3</source>
        <translation>Typ 3</translation>
    </message>
    <message>
        <source>Type 4</source>
        <translation>Typ 4</translation>
    </message>
    <message>
        <source>&amp;Use the bit reservoir</source>
        <translation>&amp;Bit-Reservoir verwenden</translation>
    </message>
    <message>
        <source>Use the bit reservoir</source>
        <translation>Bit-Reservoir verwenden</translation>
    </message>
    <message>
        <source>Put every setting of the CBR group back to its factory value</source>
        <translation>Jede Einstellung der CBR-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore CBR defaults</source>
        <translation>CBR-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>Variable Bit Rate (VBR)</source>
        <translation>Variable Bitrate (VBR)</translation>
    </message>
    <message>
        <source>Highest</source>
        <translation>Höchste</translation>
    </message>
    <message>
        <source>VBR quality</source>
        <translation>VBR-Qualität</translation>
    </message>
    <message>
        <source>Smallest</source>
        <translation>Kleinste</translation>
    </message>
    <message>
        <source>Minimum bit rate:</source>
        <translation>Minimale Bitrate:</translation>
    </message>
    <message>
        <source>VBR minimum bit rate</source>
        <translation>Minimale VBR-Bitrate</translation>
    </message>
    <message>
        <source>Maximum bit rate:</source>
        <translation>Maximale Bitrate:</translation>
    </message>
    <message>
        <source>VBR maximum bit rate</source>
        <translation>Maximale VBR-Bitrate</translation>
    </message>
    <message>
        <source>&amp;Strictly enforce the minimum bit rate</source>
        <translation>Minimale Bitrate st&amp;rikt einhalten</translation>
    </message>
    <message>
        <source>Strictly enforce the minimum bit rate</source>
        <translation>Minimale Bitrate strikt einhalten</translation>
    </message>
    <message>
        <source>&amp;Write a Xing header</source>
        <translation>&amp;Xing-Header schreiben</translation>
    </message>
    <message>
        <source>Write a Xing header</source>
        <translation>Xing-Header schreiben</translation>
    </message>
    <message>
        <source>Put every setting of the VBR group back to its factory value</source>
        <translation>Jede Einstellung der VBR-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore VBR defaults</source>
        <translation>VBR-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>Average Bit Rate (ABR)</source>
        <translation>Durchschnittliche Bitrate (ABR)</translation>
    </message>
    <message>
        <source>ABR quality</source>
        <translation>ABR-Qualität</translation>
    </message>
    <message>
        <source>Average bit rate:</source>
        <translation>Durchschnittliche Bitrate:</translation>
    </message>
    <message>
        <source>Average bit rate</source>
        <translation>Durchschnittliche Bitrate</translation>
    </message>
    <message>
        <source>kbit/s</source>
        <translation>kbit/s</translation>
    </message>
    <message>
        <source>ABR minimum bit rate</source>
        <translation>Minimale ABR-Bitrate</translation>
    </message>
    <message>
        <source>ABR maximum bit rate</source>
        <translation>Maximale ABR-Bitrate</translation>
    </message>
    <message>
        <source>ABR ATH type</source>
        <translation>ABR-ATH-Typ</translation>
    </message>
    <message>
        <source>Strictly &amp;enforce the minimum bit rate</source>
        <translation>Minimale Bitrate strikt &amp;einhalten</translation>
    </message>
    <message>
        <source>Write &amp;a Xing header</source>
        <translation>X&amp;ing-Header schreiben</translation>
    </message>
    <message>
        <source>Res&amp;tore Defaults</source>
        <translation>Standard&amp;werte wiederherstellen</translation>
    </message>
    <message>
        <source>Put every setting of the ABR group back to its factory value</source>
        <translation>Jede Einstellung der ABR-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore ABR defaults</source>
        <translation>ABR-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>264</source>
        <translation>264</translation>
    </message>
    <message>
        <source>Filters tab</source>
        <translation>Reiter Filter</translation>
    </message>
    <message>
        <source>Filters</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>&amp;Enable filtering</source>
        <translation>Filterung &amp;aktivieren</translation>
    </message>
    <message>
        <source>Enable filtering</source>
        <translation>Filterung aktivieren</translation>
    </message>
    <message>
        <source>&amp;Lowpass filter above</source>
        <translation>&amp;Tiefpassfilter oberhalb von</translation>
    </message>
    <message>
        <source>Lowpass filter above</source>
        <translation>Tiefpassfilter oberhalb von</translation>
    </message>
    <message>
        <source>Lowpass cutoff frequency</source>
        <translation>Grenzfrequenz des Tiefpasses</translation>
    </message>
    <message>
        <source>kHz</source>
        <translation>kHz</translation>
    </message>
    <message>
        <source>Lowpass &amp;transition width</source>
        <translation>Übergangsbreite des Tief&amp;passes</translation>
    </message>
    <message>
        <source>Lowpass transition width</source>
        <translation>Übergangsbreite des Tiefpasses</translation>
    </message>
    <message>
        <source>&amp;Highpass filter below</source>
        <translation>&amp;Hochpassfilter unterhalb von</translation>
    </message>
    <message>
        <source>Highpass filter below</source>
        <translation>Hochpassfilter unterhalb von</translation>
    </message>
    <message>
        <source>Highpass cutoff frequency</source>
        <translation>Grenzfrequenz des Hochpasses</translation>
    </message>
    <message>
        <source>Highpass transition &amp;width</source>
        <translation>Übergangs&amp;breite des Hochpasses</translation>
    </message>
    <message>
        <source>Highpass transition width</source>
        <translation>Übergangsbreite des Hochpasses</translation>
    </message>
    <message>
        <source>280</source>
        <translation>280</translation>
    </message>
    <message>
        <source>Stream tab</source>
        <translation>Reiter Stream</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Stream</translation>
    </message>
    <message>
        <source>De-emphasis:</source>
        <translation>De-Emphasis:</translation>
    </message>
    <message>
        <source>De-emphasis</source>
        <translation>De-Emphasis</translation>
    </message>
    <message>
        <source>&amp;None</source>
        <translation>&amp;Keine</translation>
    </message>
    <message>
        <source>No de-emphasis (-e n)</source>
        <translation>Keine De-Emphasis (-e n)</translation>
    </message>
    <message>
        <source>De-emphasis None</source>
        <translation>Keine De-Emphasis</translation>
    </message>
    <message>
        <source>&amp;50/15 µs</source>
        <translation>&amp;50/15 µs</translation>
    </message>
    <message>
        <source>50/15 microseconds de-emphasis (-e 5)</source>
        <translation>De-Emphasis 50/15 Mikrosekunden (-e 5)</translation>
    </message>
    <message>
        <source>De-emphasis 50/15 µs</source>
        <translation>De-Emphasis 50/15 µs</translation>
    </message>
    <message>
        <source>&amp;CCITT J.17</source>
        <translation>&amp;CCITT J.17</translation>
    </message>
    <message>
        <source>CCITT J.17 de-emphasis (-e c)</source>
        <translation>De-Emphasis nach CCITT J.17 (-e c)</translation>
    </message>
    <message>
        <source>De-emphasis CCITT J.17</source>
        <translation>De-Emphasis CCITT J.17</translation>
    </message>
    <message>
        <source>&amp;Strictly enforce ISO compliance</source>
        <translation>&amp;ISO-Konformität streng einhalten</translation>
    </message>
    <message>
        <source>Strictly enforce ISO compliance</source>
        <translation>ISO-Konformität streng einhalten</translation>
    </message>
    <message>
        <source>&amp;Add a CRC checksum to every frame</source>
        <translation>Jedem Frame eine CRC-&amp;Prüfsumme hinzufügen</translation>
    </message>
    <message>
        <source>Add a CRC checksum to every frame</source>
        <translation>Jedem Frame eine CRC-Prüfsumme hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Mark as original</source>
        <translation>Als &amp;Original kennzeichnen</translation>
    </message>
    <message>
        <source>Mark as original</source>
        <translation>Als Original kennzeichnen</translation>
    </message>
    <message>
        <source>Ma&amp;rk as copyrighted</source>
        <translation>Als &amp;urheberrechtlich geschützt kennzeichnen</translation>
    </message>
    <message>
        <source>Mark as copyrighted</source>
        <translation>Als urheberrechtlich geschützt kennzeichnen</translation>
    </message>
    <message>
        <source>Put every setting of the stream group back to its factory value</source>
        <translation>Jede Einstellung der Stream-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore stream defaults</source>
        <translation>Stream-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>288</source>
        <translation>288</translation>
    </message>
    <message>
        <source>Masking tab</source>
        <translation>Reiter Maskierung</translation>
    </message>
    <message>
        <source>Masking</source>
        <translation>Maskierung</translation>
    </message>
    <message>
        <source>Masking model:</source>
        <translation>Maskierungsmodell:</translation>
    </message>
    <message>
        <source>Masking model</source>
        <translation>Maskierungsmodell</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Ignore the hearing threshold</source>
        <translation>Hörschwelle ignorieren</translation>
    </message>
    <message>
        <source>Hearing threshold only</source>
        <translation>Nur Hörschwelle</translation>
    </message>
    <message>
        <source>Hearing threshold only for short blocks</source>
        <translation>Nur Hörschwelle bei kurzen Blöcken</translation>
    </message>
    <message>
        <source>Lower hearing threshold by:</source>
        <translation>Hörschwelle absenken um:</translation>
    </message>
    <message>
        <source>Lower hearing threshold by</source>
        <translation>Hörschwelle absenken um</translation>
    </message>
    <message>
        <source>dB</source>
        <translation>dB</translation>
    </message>
    <message>
        <source>Block types:</source>
        <translation>Blocktypen:</translation>
    </message>
    <message>
        <source>Block types</source>
        <translation>Blocktypen</translation>
    </message>
    <message>
        <source>Short blocks where needed</source>
        <translation>Kurze Blöcke wo nötig</translation>
    </message>
    <message>
        <source>Long blocks only</source>
        <translation>Nur lange Blöcke</translation>
    </message>
    <message>
        <source>Short blocks only</source>
        <translation>Nur kurze Blöcke</translation>
    </message>
    <message>
        <source>Tonality up to:</source>
        <translation>Tonalität bis:</translation>
    </message>
    <message>
        <source>Upper frequency of the tonality calculation in kHz (--cwlimit; lame 3.98 and later ignore it)</source>
        <translation>Obere Frequenz der Tonalitätsberechnung in kHz (--cwlimit; lame ab 3.98 ignoriert sie)</translation>
    </message>
    <message>
        <source>Calculate tonality up to</source>
        <translation>Tonalität berechnen bis</translation>
    </message>
    <message>
        <source>&amp;Use temporal masking</source>
        <translation>&amp;Zeitliche Maskierung verwenden</translation>
    </message>
    <message>
        <source>Use temporal masking</source>
        <translation>Zeitliche Maskierung verwenden</translation>
    </message>
    <message>
        <source>Put every setting of the masking group back to its factory value</source>
        <translation>Jede Einstellung der Maskierungs-Gruppe auf ihren Werkswert zurücksetzen</translation>
    </message>
    <message>
        <source>Restore masking defaults</source>
        <translation>Maskierungs-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>How the two channels are stored. Joint stereo sounds like stereo in smaller files; mono halves the data. &quot;Chosen by the encoder&quot; lets lame decide (-m)</source>
        <translation>Wie die beiden Kanäle gespeichert werden. Joint Stereo klingt wie Stereo in kleineren Dateien; Mono halbiert die Daten. „Vom Encoder gewählt“ überlässt es lame (-m)</translation>
    </message>
    <message>
        <source>Constant gives every second the same number of bits; average and variable spend more on hard passages, for better sound at the same file size. Only this mode&apos;s group on the Bit Rate tab is used (-b, --abr or -V)</source>
        <translation>Konstant gibt jeder Sekunde gleich viele Bits; durchschnittlich und variabel geben schwierigen Passagen mehr, für besseren Klang bei gleicher Dateigröße. Im Reiter Bitrate wird nur die Gruppe dieses Modus verwendet (-b, --abr oder -V)</translation>
    </message>
    <message>
        <source>Resample the output to this rate: a lower rate makes smaller files but dulls the highs. &quot;Same as input&quot; keeps the input&apos;s rate (--resample)</source>
        <translation>Die Ausgabe auf diese Abtastrate umrechnen: eine niedrigere Rate ergibt kleinere Dateien, aber dumpfere Höhen. „Wie Eingabe“ behält die Rate der Eingabe (--resample)</translation>
    </message>
    <message>
        <source>Mix the two channels of headerless PCM input into one: mono sound, smaller files (-a). Other inputs are not affected</source>
        <translation>Die beiden Kanäle von PCM-Rohdaten zu einem mischen: Mono-Klang, kleinere Dateien (-a). Andere Eingaben bleiben unberührt</translation>
    </message>
    <message>
        <source>Let each channel use its own block type, which can help wide stereo sound clean; the file size does not change (-d)</source>
        <translation>Jeder Kanal darf seinen eigenen Blocktyp verwenden, was breites Stereo sauberer klingen lassen kann; die Dateigröße ändert sich nicht (-d)</translation>
    </message>
    <message>
        <source>How hard the encoder works: 0 sounds best and is slowest, 9 is fastest and sounds worst. The file size does not change (-q)</source>
        <translation>Wie gründlich der Encoder arbeitet: 0 klingt am besten und ist am langsamsten, 9 ist am schnellsten und klingt am schlechtesten. Die Dateigröße ändert sich nicht (-q)</translation>
    </message>
    <message>
        <source>Bits for every second of sound: higher values sound better and make larger files (-b)</source>
        <translation>Bits für jede Sekunde Klang: höhere Werte klingen besser und ergeben größere Dateien (-b)</translation>
    </message>
    <message>
        <source>Which model of the quietest sounds we can hear the encoder uses; sounds below it get no bits. It changes the sound a little and the file size hardly (--athtype)</source>
        <translation>Welches Modell der leisesten hörbaren Töne (Ruhehörschwelle) der Encoder verwendet; was darunter liegt, bekommt keine Bits. Ändert den Klang wenig und die Dateigröße kaum (--athtype)</translation>
    </message>
    <message>
        <source>Let frames borrow bits that earlier frames left over, so that hard passages sound better at the same file size; off writes --nores</source>
        <translation>Frames dürfen Bits nutzen, die frühere Frames übrig ließen, damit schwierige Passagen bei gleicher Dateigröße besser klingen; aus schreibt --nores</translation>
    </message>
    <message>
        <source>VBR quality: 0 sounds best and makes the largest files, 9 makes the smallest files and sounds worst (-V)</source>
        <translation>VBR-Qualität: 0 klingt am besten und ergibt die größten Dateien, 9 die kleinsten Dateien mit dem schlechtesten Klang (-V)</translation>
    </message>
    <message>
        <source>No frame gets fewer bits than this: higher values keep quiet passages clean and make larger files (-b)</source>
        <translation>Kein Frame bekommt weniger Bits: höhere Werte halten leise Passagen sauber und ergeben größere Dateien (-b)</translation>
    </message>
    <message>
        <source>No frame gets more bits than this: lower values make smaller files but can spoil loud, busy passages (-B)</source>
        <translation>Kein Frame bekommt mehr Bits: niedrigere Werte ergeben kleinere Dateien, können aber laute, dichte Passagen verderben (-B)</translation>
    </message>
    <message>
        <source>Never go below the minimum bit rate, not even for digital silence: the files grow a little, the sound does not change (-F)</source>
        <translation>Die minimale Bitrate nie unterschreiten, auch nicht bei digitaler Stille: die Dateien wachsen etwas, der Klang ändert sich nicht (-F)</translation>
    </message>
    <message>
        <source>Write the Xing/Info frame that players use to show the length and to seek; it costs one frame of space. Off writes -t</source>
        <translation>Den Xing/Info-Frame schreiben, mit dem Player die Länge anzeigen und springen; er kostet den Platz eines Frames. Aus schreibt -t</translation>
    </message>
    <message>
        <source>The bit rate the encoder aims at on average, in kbit/s: higher values sound better and make larger files. Choose one or type any number (--abr)</source>
        <translation>Die Bitrate, die der Encoder im Durchschnitt anstrebt, in kbit/s: höhere Werte klingen besser und ergeben größere Dateien. Einen Wert wählen oder eine beliebige Zahl eingeben (--abr)</translation>
    </message>
    <message>
        <source>Let the encoder filter out frequencies; off keeps them all, which spends bits on what few can hear and can bring artefacts at low bit rates (-k)</source>
        <translation>Den Encoder Frequenzen herausfiltern lassen; aus behält alle, was Bits für kaum Hörbares verbraucht und bei niedrigen Bitraten Artefakte bringen kann (-k)</translation>
    </message>
    <message>
        <source>Cut frequencies above the frequency beside it: a lower cutoff sounds duller but leaves more bits for the rest (--lowpass)</source>
        <translation>Frequenzen oberhalb der daneben stehenden abschneiden: eine niedrigere Grenze klingt dumpfer, lässt aber mehr Bits für den Rest (--lowpass)</translation>
    </message>
    <message>
        <source>Frequencies above this many kHz are cut (--lowpass)</source>
        <translation>Frequenzen oberhalb dieser kHz werden abgeschnitten (--lowpass)</translation>
    </message>
    <message>
        <source>Use the transition width beside it: a wider band fades the highs out more gently (--lowpass-width)</source>
        <translation>Die daneben stehende Übergangsbreite verwenden: ein breiteres Band blendet die Höhen sanfter aus (--lowpass-width)</translation>
    </message>
    <message>
        <source>Width in kHz of the band over which the highs fade out (--lowpass-width)</source>
        <translation>Breite des Bandes in kHz, über das die Höhen ausgeblendet werden (--lowpass-width)</translation>
    </message>
    <message>
        <source>Cut frequencies below the frequency beside it: removes rumble and hum and saves a few bits, but thins the bass (--highpass)</source>
        <translation>Frequenzen unterhalb der daneben stehenden abschneiden: entfernt Rumpeln und Brummen und spart einige Bits, macht den Bass aber dünner (--highpass)</translation>
    </message>
    <message>
        <source>Frequencies below this many kHz are cut (--highpass)</source>
        <translation>Frequenzen unterhalb dieser kHz werden abgeschnitten (--highpass)</translation>
    </message>
    <message>
        <source>Use the transition width beside it: a wider band fades the lows in more gently (--highpass-width)</source>
        <translation>Die daneben stehende Übergangsbreite verwenden: ein breiteres Band blendet die Tiefen sanfter ein (--highpass-width)</translation>
    </message>
    <message>
        <source>Width in kHz of the band over which the lows fade in (--highpass-width)</source>
        <translation>Breite des Bandes in kHz, über das die Tiefen eingeblendet werden (--highpass-width)</translation>
    </message>
    <message>
        <source>The de-emphasis players should apply; set it only for sources recorded with pre-emphasis. The file size does not change (-e)</source>
        <translation>Die De-Emphasis, die Player anwenden sollen; nur für Quellen setzen, die mit Pre-Emphasis aufgenommen wurden. Die Dateigröße ändert sich nicht (-e)</translation>
    </message>
    <message>
        <source>Keep strictly to the ISO standard, for very old players; it can sound slightly worse at the same file size (--strictly-enforce-ISO)</source>
        <translation>Streng an den ISO-Standard halten, für sehr alte Player; kann bei gleicher Dateigröße etwas schlechter klingen (--strictly-enforce-ISO)</translation>
    </message>
    <message>
        <source>Protect every frame with a CRC error check; the 16 bits a frame are taken from the sound (-p)</source>
        <translation>Jeden Frame mit einer CRC-Fehlerprüfung schützen; die 16 Bits je Frame gehen dem Klang ab (-p)</translation>
    </message>
    <message>
        <source>Set the original bit of every frame; off marks the stream as a copy. Sound and file size do not change (-o)</source>
        <translation>Das Original-Bit jedes Frames setzen; aus kennzeichnet den Datenstrom als Kopie. Klang und Dateigröße ändern sich nicht (-o)</translation>
    </message>
    <message>
        <source>Set the copyright bit of every frame; sound and file size do not change (-c)</source>
        <translation>Das Copyright-Bit jedes Frames setzen; Klang und Dateigröße ändern sich nicht (-c)</translation>
    </message>
    <message>
        <source>How the threshold of hearing is used: normally (sounds best), not at all (--noath), alone (--athonly) or alone for short blocks (--athshort)</source>
        <translation>Wie die Ruhehörschwelle verwendet wird: normal (klingt am besten), gar nicht (--noath), allein (--athonly) oder allein für kurze Blöcke (--athshort)</translation>
    </message>
    <message>
        <source>Lower the threshold of hearing by this many dB, so that quieter sounds get bits too, at the cost of the rest or a larger file; 0 or less leaves it (--athlower)</source>
        <translation>Die Ruhehörschwelle um so viele dB senken, damit auch leisere Töne Bits bekommen, auf Kosten des Rests oder einer größeren Datei; 0 oder weniger lässt sie unverändert (--athlower)</translation>
    </message>
    <message>
        <source>Which block types the encoder may use: short blocks keep sharp attacks such as drums clean (--short, --noshort, --allshort)</source>
        <translation>Welche Blocktypen der Encoder verwenden darf: kurze Blöcke halten scharfe Einsätze wie Schlagzeug sauber (--short, --noshort, --allshort)</translation>
    </message>
    <message>
        <source>Let loud sounds hide the quiet ones just after them, so that no bits go to what cannot be heard; off writes --notemp</source>
        <translation>Laute Töne dürfen die leisen direkt danach verdecken, damit keine Bits an Unhörbares gehen; aus schreibt --notemp</translation>
    </message>
    <message>
        <source>485</source>
        <translation>485</translation>
    </message>
    <message>
        <source>Encode &amp;up to:</source>
        <translation>&amp;Bis zu</translation>
    </message>
    <message>
        <source>How many files of a batch are encoded side by side. More finishes a batch sooner but keeps more of the computer busy; CD tracks are always encoded one at a time</source>
        <translation>Wie viele Dateien eines Stapels gleichzeitig kodiert werden. Mehr beendet einen Stapel früher, beansprucht aber mehr vom Computer; CD-Titel werden immer einzeln kodiert</translation>
    </message>
    <message>
        <source>Number of files encoded at once</source>
        <translation>Anzahl gleichzeitig kodierter Dateien</translation>
    </message>
    <message>
        <source>files at once</source>
        <translation>Dateien gleichzeitig kodieren</translation>
    </message>
    <message>
        <source>448</source>
        <translation>448</translation>
    </message>
    <message>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualität:</translation>
    </message>
    <message>
        <source>A choice of the encoder&apos;s own presets, with the average bit rate each gave on music. Choosing one sets the bit rate settings on the tabs below; &quot;Custom&quot; shows when they hold anything else</source>
        <translation>Eine Auswahl der Voreinstellungen des Encoders, mit der mittleren Bitrate, die jede bei Musik ergab. Die Wahl setzt die Bitraten-Einstellungen auf den Reitern unten; „Eigene Einstellungen“ erscheint, wenn diese etwas anderes enthalten</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Smallest files (about 110 kbit/s)</source>
        <translation>Kleinste Dateien (etwa 110 kbit/s)</translation>
    </message>
    <message>
        <source>Good (about 130 kbit/s)</source>
        <translation>Gut (etwa 130 kbit/s)</translation>
    </message>
    <message>
        <source>Transparent (about 160 kbit/s)</source>
        <translation>Transparent (etwa 160 kbit/s)</translation>
    </message>
    <message>
        <source>Best variable (about 230 kbit/s)</source>
        <translation>Beste variable (etwa 230 kbit/s)</translation>
    </message>
    <message>
        <source>Highest (320 kbit/s constant)</source>
        <translation>Höchste (320 kbit/s konstant)</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Eigene Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Name files:</source>
        <translation>Dateien &amp;benennen:</translation>
    </message>
    <message>
        <source>Where in the destination a batch writes each file: {artist}, {album}, {track}, {title} and {name} (the input&apos;s name) are replaced, &quot;/&quot; makes folders, for example {artist}/{album}/{track} {title}. Empty: {name}</source>
        <translation>Wohin im Zielordner ein Stapel jede Datei schreibt: {artist}, {album}, {track}, {title} und {name} (der Name der Eingabedatei) werden ersetzt, „/“ legt Ordner an, zum Beispiel {artist}/{album}/{track} {title}. Leer: {name}</translation>
    </message>
    <message>
        <source>Name files</source>
        <translation>Dateien benennen</translation>
    </message>
    <message>
        <source>Audio CDs</source>
        <translation>Audio-CDs</translation>
    </message>
    <message>
        <source>&amp;Look up audio CDs online</source>
        <translation>Audio-CDs on&amp;line nachschlagen</translation>
    </message>
    <message>
        <source>Name a disc&apos;s artist, album and tracks and find its cover in MusicBrainz when its rip window opens</source>
        <translation>Interpret, Album und Titel einer CD samt Cover in MusicBrainz suchen, sobald ihr Rip-Fenster öffnet</translation>
    </message>
    <message>
        <source>Look up audio CDs online</source>
        <translation>Audio-CDs online nachschlagen</translation>
    </message>
    <message>
        <source>Music&amp;Brainz server:</source>
        <translation>Music&amp;Brainz-Server:</translation>
    </message>
    <message>
        <source>The address of the MusicBrainz web service the discs are looked up in</source>
        <translation>Die Adresse des MusicBrainz-Webdienstes, in dem die CDs nachgeschlagen werden</translation>
    </message>
    <message>
        <source>MusicBrainz server</source>
        <translation>MusicBrainz-Server</translation>
    </message>
    <message>
        <source>Co&amp;ver server:</source>
        <translation>Co&amp;ver-Server:</translation>
    </message>
    <message>
        <source>The address of the Cover Art Archive the covers are fetched from</source>
        <translation>Die Adresse des Cover Art Archive, von dem die Cover geholt werden</translation>
    </message>
    <message>
        <source>Cover server</source>
        <translation>Cover-Server</translation>
    </message>
    <message>
        <source>Restore Defaul&amp;ts</source>
        <translation>Standard&amp;werte</translation>
    </message>
    <message>
        <source>Put every setting of the audio CD group back to its factory value</source>
        <translation>Alle Einstellungen der Gruppe „Audio-CDs“ auf ihre Werkswerte zurücksetzen</translation>
    </message>
    <message>
        <source>Restore audio CD defaults</source>
        <translation>Audio-CD-Standardwerte wiederherstellen</translation>
    </message>
    <message>
        <source>Accurate&amp;Rip server:</source>
        <translation>Accurate&amp;Rip-Server:</translation>
    </message>
    <message>
        <source>The address of the AccurateRip database a rip&apos;s checksums are compared with</source>
        <translation>Die Adresse der AccurateRip-Datenbank, mit der die Prüfsummen eines Rips verglichen werden</translation>
    </message>
    <message>
        <source>AccurateRip server</source>
        <translation>AccurateRip-Server</translation>
    </message>
    <message>
        <source>Drive read o&amp;ffset:</source>
        <translation>Lese-O&amp;ffset des Laufwerks:</translation>
    </message>
    <message>
        <source>The drive&apos;s read offset in samples, as AccurateRip lists it for the drive; applies from the next disc put in</source>
        <translation>Der Lese-Offset des Laufwerks in Samples, wie AccurateRip ihn für das Laufwerk angibt; gilt ab der nächsten eingelegten CD</translation>
    </message>
    <message>
        <source>Drive read offset</source>
        <translation>Lese-Offset des Laufwerks</translation>
    </message>
    <message>
        <source> samples</source>
        <translation> Samples</translation>
    </message>
    <message>
        <source>&amp;Write loudness tags (ReplayGain)</source>
        <translation>&amp;Lautheits-Tags schreiben (ReplayGain)</translation>
    </message>
    <message>
        <source>Measure each file&apos;s loudness while it is encoded and write its ReplayGain track and album gain and peak, so that players can play every file and album equally loud</source>
        <translation>Die Lautheit jeder Datei beim Kodieren messen und ihre ReplayGain-Werte (Verstärkung und Spitzenpegel für Titel und Album) schreiben, damit Player jede Datei und jedes Album gleich laut abspielen</translation>
    </message>
    <message>
        <source>Write loudness tags (ReplayGain)</source>
        <translation>Lautheits-Tags schreiben (ReplayGain)</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>FilePosition</source>
        <extracomment>File %u of %u</extracomment>
        <translation>Datei %u von %u</translation>
    </message>
    <message>
        <source>GPSYCHOVersion</source>
        <extracomment>GPSYCHO version %@</extracomment>
        <translation>GPSYCHO-Version %@</translation>
    </message>
    <message>
        <source>HighPassDisabled</source>
        <extracomment>Warning: High pass filter disabled</extracomment>
        <translation>Warnung: Hochpassfilter deaktiviert</translation>
    </message>
    <message>
        <source>HighPassStatus</source>
        <extracomment>Lower transition band: %u Hz - %u Hz</extracomment>
        <translation>Unteres Übergangsband: %u Hz – %u Hz</translation>
    </message>
    <message>
        <source>LAMEVersion</source>
        <extracomment>LAME version %@</extracomment>
        <translation>LAME-Version %@</translation>
    </message>
    <message>
        <source>LowPassDisabled</source>
        <extracomment>Warning: Low pass filter disabled</extracomment>
        <translation>Warnung: Tiefpassfilter deaktiviert</translation>
    </message>
    <message>
        <source>LowPassStatus</source>
        <extracomment>Upper transition band: %u Hz - %u Hz</extracomment>
        <translation>Oberes Übergangsband: %u Hz – %u Hz</translation>
    </message>
    <message>
        <source>RemainingTime</source>
        <extracomment>ETA: %@ (%d%%)</extracomment>
        <translation>Restzeit: %@ (%d%%)</translation>
    </message>
    <message>
        <source>SourceAndTarget</source>
        <extracomment>Encoding &quot;%@&quot; as &quot;%@&quot;</extracomment>
        <translation>„%@“ wird als „%@“ kodiert</translation>
    </message>
    <message>
        <source>FileProgress</source>
        <extracomment>Progress of &quot;%@&quot;</extracomment>
        <translation>Fortschritt von „%@“</translation>
    </message>
    <message>
        <source>RunPosition</source>
        <extracomment>%@, %@, %@</extracomment>
        <translation>%@, %@, %@</translation>
    </message>
    <message>
        <source>RunProgress</source>
        <extracomment>Progress of the whole batch</extracomment>
        <translation>Fortschritt des ganzen Stapels</translation>
    </message>
    <message>
        <source>SkipFileButton</source>
        <extracomment>Skip</extracomment>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>SkipFileName</source>
        <extracomment>Skip %@</extracomment>
        <translation>%@ überspringen</translation>
    </message>
    <message>
        <source>SkipFileTip</source>
        <extracomment>Stop encoding this file and remove what it wrote</extracomment>
        <translation>Diese Datei nicht weiter kodieren und das bisher Geschriebene entfernen</translation>
    </message>
    <message numerus="yes">
        <source>RunDone</source>
        <extracomment>%n done</extracomment>
        <translation>
            <numerusform>%n fertig</numerusform>
            <numerusform>%n fertig</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>RunLeft</source>
        <extracomment>%n left</extracomment>
        <translation>
            <numerusform>%n übrig</numerusform>
            <numerusform>%n übrig</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>RunRunning</source>
        <extracomment>%n running</extracomment>
        <translation>
            <numerusform>%n läuft</numerusform>
            <numerusform>%n laufen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Rip</name>
    <message>
        <source>CDTrackPrefix</source>
        <extracomment>Track</extracomment>
        <translation>Track </translation>
    </message>
    <message>
        <source>CannotEncode</source>
        <extracomment>Cannot encode &quot;%@&quot;: %@.</extracomment>
        <translation>„%@“ kann nicht kodiert werden: %@.</translation>
    </message>
    <message>
        <source>CantCreateMessage</source>
        <extracomment>Can&apos;t create &quot;%@&quot;.</extracomment>
        <translation>„%@“ kann nicht angelegt werden.</translation>
    </message>
    <message>
        <source>CantCreateTitle</source>
        <extracomment>Can&apos;t Create Folder</extracomment>
        <translation>Ordner kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>CompletionLibraryFailures</source>
        <extracomment>The music library could not take %u files whole (playlist entry or tags). The command log shows why.</extracomment>
        <translation>%u Titel konnten nicht vollständig in die Musikbibliothek übernommen werden (Eintrag in der Wiedergabeliste oder Tags). Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>CompletionMessage</source>
        <extracomment>All tracks done.</extracomment>
        <translation>Alle Titel fertig.</translation>
    </message>
    <message>
        <source>CompletionTitle</source>
        <extracomment>Rip Complete</extracomment>
        <translation>Rippen abgeschlossen</translation>
    </message>
    <message>
        <source>DestinationFull</source>
        <extracomment>: the destination is full</extracomment>
        <translation>: das Ziel ist voll</translation>
    </message>
    <message>
        <source>DiscGone</source>
        <extracomment>the disc was unmounted</extracomment>
        <translation>die CD wurde ausgehängt</translation>
    </message>
    <message>
        <source>EncoderExitStatus</source>
        <extracomment>the encoder ended with status %d</extracomment>
        <translation>der Encoder wurde mit Status %d beendet</translation>
    </message>
    <message>
        <source>EncoderKilled</source>
        <extracomment>the encoder was ended by signal %d (%@)</extracomment>
        <translation>der Encoder wurde durch Signal %d (%@) beendet</translation>
    </message>
    <message>
        <source>EncoderNotStarted</source>
        <extracomment>the encoder could not be started: %@</extracomment>
        <translation>der Encoder konnte nicht gestartet werden: %@</translation>
    </message>
    <message>
        <source>InputCutShort</source>
        <extracomment>it is damaged or cut short: its header promises %@ seconds of audio, the MP3 holds %@</extracomment>
        <translation>die Datei ist beschädigt oder zu kurz: Ihr Header verspricht %@ Sekunden Audio, die MP3-Datei enthält %@</translation>
    </message>
    <message>
        <source>InputEmpty</source>
        <extracomment>it is an empty file</extracomment>
        <translation>die Datei ist leer</translation>
    </message>
    <message>
        <source>InputFolder</source>
        <extracomment>it is a folder</extracomment>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>InputMissing</source>
        <extracomment>it does not exist</extracomment>
        <translation>die Datei existiert nicht</translation>
    </message>
    <message>
        <source>InputNotAudio</source>
        <extracomment>it is not an audio file</extracomment>
        <translation>die Datei ist keine Audiodatei</translation>
    </message>
    <message>
        <source>InputNotRegular</source>
        <extracomment>it is not a regular file</extracomment>
        <translation>die Datei ist keine normale Datei</translation>
    </message>
    <message>
        <source>InputUnreadable</source>
        <extracomment>it cannot be read</extracomment>
        <translation>die Datei kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>InternalSeparator</source>
        <extracomment>-</extracomment>
        <translation> - </translation>
    </message>
    <message>
        <source>LibraryAddFailed</source>
        <extracomment>The music library could not take &quot;%@&quot;: %@.</extracomment>
        <translation>Die Musikbibliothek konnte „%@“ nicht übernehmen: %@.</translation>
    </message>
    <message>
        <source>NoCommandLine</source>
        <extracomment>the encoder settings are incomplete</extracomment>
        <translation>die Encoder-Einstellungen sind unvollständig</translation>
    </message>
    <message>
        <source>PartialNotRemoved</source>
        <extracomment>The unfinished file &quot;%@&quot; could not be removed; it is not whole.</extracomment>
        <translation>Die unfertige Datei „%@“ konnte nicht entfernt werden; sie ist unvollständig.</translation>
    </message>
    <message>
        <source>PlaylistEntryFailed</source>
        <extracomment>&quot;%@&quot; could not be added to the playlist: %@.</extracomment>
        <translation>„%@“ konnte nicht zur Wiedergabeliste hinzugefügt werden: %@.</translation>
    </message>
    <message>
        <source>PlaylistFailed</source>
        <extracomment>The music library could not make a playlist: %@. The files are added without one.</extracomment>
        <translation>Die Musikbibliothek konnte keine Wiedergabeliste anlegen: %@. Die Dateien werden ohne Wiedergabeliste hinzugefügt.</translation>
    </message>
    <message>
        <source>ReplacementSeparator</source>
        <extracomment>_</extracomment>
        <translation>_</translation>
    </message>
    <message>
        <source>RipNameFormat</source>
        <extracomment>%@. %@</extracomment>
        <translation>%@. %@</translation>
    </message>
    <message>
        <source>SelectPanelTitle</source>
        <extracomment>Select Destination Folder</extracomment>
        <translation>Zielordner auswählen</translation>
    </message>
    <message>
        <source>SkipTaskMessage</source>
        <extracomment>Skip track %@?</extracomment>
        <translation>Titel %@ überspringen?</translation>
    </message>
    <message>
        <source>SkipTaskTitle</source>
        <extracomment>Skip track?</extracomment>
        <translation>Titel überspringen?</translation>
    </message>
    <message>
        <source>StopRipMessage</source>
        <extracomment>Stop ripping &quot;%@&quot;?</extracomment>
        <translation>Rippen von „%@“ stoppen?</translation>
    </message>
    <message>
        <source>StopRipTitle</source>
        <extracomment>Stop rip?</extracomment>
        <translation>Rippen stoppen?</translation>
    </message>
    <message>
        <source>TagsFailed</source>
        <extracomment>The tags of &quot;%@&quot; could not be written: %@.</extracomment>
        <translation>Die Tags von „%@“ konnten nicht geschrieben werden: %@.</translation>
    </message>
    <message>
        <source>TrackNameFormat</source>
        <extracomment>%@: %@</extracomment>
        <translation>%@: %@</translation>
    </message>
    <message>
        <source>UnknownCD</source>
        <extracomment>Unknown</extracomment>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>UnreadableSectors</source>
        <extracomment>%@ sectors of the disc could not be read</extracomment>
        <translation>%@ Sektoren der CD konnten nicht gelesen werden</translation>
    </message>
    <message>
        <source>UntitledRipFormat</source>
        <extracomment>%@</extracomment>
        <translation>%@</translation>
    </message>
    <message>
        <source>UntitledTrackFormat</source>
        <extracomment>%@</extracomment>
        <translation>%@</translation>
    </message>
    <message>
        <source>WindowTitle</source>
        <extracomment>Rip Audio CD - %@</extracomment>
        <translation>Audio-CD rippen – %@</translation>
    </message>
    <message>
        <source>CoverLost</source>
        <extracomment>The cover picture of &quot;%@&quot; could not be handed to the encoder.</extracomment>
        <translation>Das Coverbild von „%@“ konnte dem Encoder nicht übergeben werden.</translation>
    </message>
    <message>
        <source>InputChannels</source>
        <extracomment>it has %d channels; the encoder takes mono and stereo only</extracomment>
        <translation>die Datei hat %d Kanäle; der Encoder nimmt nur Mono und Stereo</translation>
    </message>
    <message>
        <source>InputEndMissing</source>
        <extracomment>it is damaged or cut short: its end is missing</extracomment>
        <translation>die Datei ist beschädigt oder abgeschnitten: ihr Ende fehlt</translation>
    </message>
    <message>
        <source>InputNotKind</source>
        <extracomment>it is not a %@ file</extracomment>
        <translation>die Datei ist keine %@-Datei</translation>
    </message>
    <message>
        <source>CompletionCoverLosses</source>
        <extracomment>%u files were encoded without their cover picture. The command log shows why.</extracomment>
        <translation>%u Dateien wurden ohne ihr Titelbild kodiert. Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>CompletionEncoded</source>
        <extracomment>%u files encoded into %@.</extracomment>
        <translation>%u Dateien nach %@ kodiert.</translation>
    </message>
    <message>
        <source>CompletionEncodedOne</source>
        <extracomment>1 file encoded into %@.</extracomment>
        <translation>1 Datei nach %@ kodiert.</translation>
    </message>
    <message>
        <source>CompletionFailed</source>
        <extracomment>%u failed.</extracomment>
        <translation>%u fehlgeschlagen.</translation>
    </message>
    <message>
        <source>CompletionFailedSkipped</source>
        <extracomment>%u failed, %u skipped.</extracomment>
        <translation>%u fehlgeschlagen, %u übersprungen.</translation>
    </message>
    <message>
        <source>CompletionFailuresLogged</source>
        <extracomment>The command log shows why.</extracomment>
        <translation>Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>CompletionSkipped</source>
        <extracomment>%u skipped.</extracomment>
        <translation>%u übersprungen.</translation>
    </message>
    <message>
        <source>TrackFileMissing</source>
        <extracomment>the disc shows no file for this track</extracomment>
        <translation>die CD zeigt keine Datei für diesen Titel</translation>
    </message>
    <message>
        <source>TrackNameNotText</source>
        <extracomment>the name of its file on the disc is not valid text, so the file cannot be opened</extracomment>
        <translation>der Name seiner Datei auf der CD ist kein gültiger Text, daher kann die Datei nicht geöffnet werden</translation>
    </message>
    <message>
        <source>CompletionTagLosses</source>
        <extracomment>%u files were encoded without some of their tags. The command log shows why.</extracomment>
        <translation>%u Titel wurden ohne einen Teil ihrer Tags gerippt. Das Befehlsprotokoll zeigt, warum.</translation>
    </message>
    <message>
        <source>FolderNotMade</source>
        <extracomment>the folder &quot;%@&quot; cannot be made</extracomment>
        <translation>der Ordner „%@“ kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>ChooseReleaseMessage</source>
        <extracomment>Several releases hold this disc. Which one is it?</extracomment>
        <translation>Mehrere Veröffentlichungen enthalten diese CD. Welche ist es?</translation>
    </message>
    <message>
        <source>ChooseReleaseTitle</source>
        <extracomment>Choose Release</extracomment>
        <translation>Veröffentlichung wählen</translation>
    </message>
    <message>
        <source>CoverFailed</source>
        <extracomment>No cover: %@.</extracomment>
        <translation>Kein Cover: %@.</translation>
    </message>
    <message>
        <source>CoverFileFailed</source>
        <extracomment>The cover could not be saved as &quot;%@&quot;: %@.</extracomment>
        <translation>Das Cover konnte nicht als „%@“ gesichert werden: %@.</translation>
    </message>
    <message>
        <source>CoverNone</source>
        <extracomment>the release has no front cover</extracomment>
        <translation>die Veröffentlichung hat kein Frontcover</translation>
    </message>
    <message>
        <source>CoverNotPicture</source>
        <extracomment>the cover is not a picture</extracomment>
        <translation>das Cover ist kein Bild</translation>
    </message>
    <message>
        <source>DiscNotFound</source>
        <extracomment>This disc is not in MusicBrainz yet. &lt;a href=&quot;%@&quot;&gt;Add it…&lt;/a&gt;</extracomment>
        <translation>Diese CD ist noch nicht in MusicBrainz. &lt;a href=&quot;%@&quot;&gt;Hinzufügen…&lt;/a&gt;</translation>
    </message>
    <message>
        <source>LookingUp</source>
        <extracomment>Looking the disc up…</extracomment>
        <translation>Die CD wird nachgeschlagen…</translation>
    </message>
    <message>
        <source>LookupFailed</source>
        <extracomment>The disc lookup failed: %@.</extracomment>
        <translation>Das Nachschlagen der CD ist fehlgeschlagen: %@.</translation>
    </message>
    <message>
        <source>LookupHttpError</source>
        <extracomment>the server answered %d</extracomment>
        <translation>der Server antwortete %d</translation>
    </message>
    <message>
        <source>LookupNotJson</source>
        <extracomment>the answer is not JSON</extracomment>
        <translation>die Antwort ist kein JSON</translation>
    </message>
    <message>
        <source>LookupRedirect</source>
        <extracomment>the server sent the request elsewhere</extracomment>
        <translation>der Server hat die Anfrage umgeleitet</translation>
    </message>
    <message>
        <source>LookupSlow</source>
        <extracomment>the server did not answer in time</extracomment>
        <translation>der Server hat nicht rechtzeitig geantwortet</translation>
    </message>
    <message>
        <source>LookupTooLarge</source>
        <extracomment>the answer is far too large</extracomment>
        <translation>die Antwort ist viel zu groß</translation>
    </message>
    <message>
        <source>LookupTrackCount</source>
        <extracomment>the release found has %d tracks, the disc %d</extracomment>
        <translation>die gefundene Veröffentlichung hat %d Titel, die CD %d</translation>
    </message>
    <message>
        <source>LookupWrongShape</source>
        <extracomment>the answer lists no releases</extracomment>
        <translation>die Antwort nennt keine Veröffentlichungen</translation>
    </message>
    <message>
        <source>ReleaseAlbum</source>
        <extracomment>Album</extracomment>
        <translation>Album</translation>
    </message>
    <message>
        <source>ReleaseArtist</source>
        <extracomment>Artist</extracomment>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>ReleaseCountry</source>
        <extracomment>Country</extracomment>
        <translation>Land</translation>
    </message>
    <message>
        <source>ReleaseFormat</source>
        <extracomment>Format</extracomment>
        <translation>Format</translation>
    </message>
    <message>
        <source>ReleaseFound</source>
        <extracomment>Named after “%@” in MusicBrainz.</extracomment>
        <translation>Benannt nach „%@“ in MusicBrainz.</translation>
    </message>
    <message>
        <source>ReleaseList</source>
        <extracomment>Releases</extracomment>
        <translation>Veröffentlichungen</translation>
    </message>
    <message>
        <source>ReleaseTracks</source>
        <extracomment>Tracks</extracomment>
        <translation>Titel</translation>
    </message>
    <message>
        <source>ReleaseYear</source>
        <extracomment>Year</extracomment>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>SeveralReleases</source>
        <extracomment>%d releases hold this disc. &lt;a href=&quot;choose&quot;&gt;Choose one…&lt;/a&gt;</extracomment>
        <translation>%d Veröffentlichungen enthalten diese CD. &lt;a href=&quot;choose&quot;&gt;Eine wählen…&lt;/a&gt;</translation>
    </message>
    <message>
        <source>UseRelease</source>
        <extracomment>Use Release</extracomment>
        <translation>Veröffentlichung verwenden</translation>
    </message>
    <message>
        <source>CompletionCoverFileLost</source>
        <extracomment>The cover was not saved in the folder. The command log shows why.</extracomment>
        <translation>Das Cover wurde nicht im Ordner gesichert. Das Befehlsprotokoll nennt den Grund.</translation>
    </message>
    <message>
        <source>AccurateRipAccurate</source>
        <extracomment>AccurateRip: all %u tracks accurately ripped (lowest confidence %u).</extracomment>
        <translation>AccurateRip: alle %u Titel fehlerfrei gerippt (niedrigste Konfidenz %u).</translation>
    </message>
    <message>
        <source>AccurateRipCutShort</source>
        <extracomment>the database&apos;s answer is cut short</extracomment>
        <translation>die Antwort der Datenbank ist unvollständig</translation>
    </message>
    <message>
        <source>AccurateRipEmpty</source>
        <extracomment>the database&apos;s answer is empty</extracomment>
        <translation>die Antwort der Datenbank ist leer</translation>
    </message>
    <message>
        <source>AccurateRipFailed</source>
        <extracomment>AccurateRip: the rip could not be checked (%@).</extracomment>
        <translation>AccurateRip: der Rip konnte nicht geprüft werden (%@).</translation>
    </message>
    <message>
        <source>AccurateRipHttpError</source>
        <extracomment>the AccurateRip database answered %d</extracomment>
        <translation>die AccurateRip-Datenbank antwortete %d</translation>
    </message>
    <message>
        <source>AccurateRipMismatch</source>
        <extracomment>AccurateRip: %u of %u tracks accurate; tracks %@ do not match. Rip again, or clean the disc.</extracomment>
        <translation>AccurateRip: %u von %u Titeln fehlerfrei; die Titel %@ stimmen nicht überein. Rippen Sie erneut, oder reinigen Sie die CD.</translation>
    </message>
    <message>
        <source>AccurateRipMismatchOne</source>
        <extracomment>AccurateRip: %u of %u tracks accurate; track %@ does not match. Rip again, or clean the disc.</extracomment>
        <translation>AccurateRip: %u von %u Titeln fehlerfrei; Titel %@ stimmt nicht überein. Rippen Sie erneut, oder reinigen Sie die CD.</translation>
    </message>
    <message>
        <source>AccurateRipNotFound</source>
        <extracomment>AccurateRip: the disc is not in the database.</extracomment>
        <translation>AccurateRip: die CD ist nicht in der Datenbank.</translation>
    </message>
    <message>
        <source>AccurateRipNothing</source>
        <extracomment>AccurateRip: no track was read whole, so none could be checked.</extracomment>
        <translation>AccurateRip: kein Titel wurde ganz gelesen, daher konnte keiner geprüft werden.</translation>
    </message>
    <message>
        <source>AccurateRipOtherDisc</source>
        <extracomment>the database answered for another disc</extracomment>
        <translation>die Datenbank antwortete für eine andere CD</translation>
    </message>
    <message>
        <source>AccurateRipSlow</source>
        <extracomment>the AccurateRip database did not answer in time</extracomment>
        <translation>die AccurateRip-Datenbank antwortete nicht rechtzeitig</translation>
    </message>
    <message>
        <source>AccurateRipUnknown</source>
        <extracomment>AccurateRip: %u of %u tracks accurate; the database has no checksum of %@.</extracomment>
        <translation>AccurateRip: %u von %u Titeln fehlerfrei; die Datenbank hat keine Prüfsumme für %@.</translation>
    </message>
    <message>
        <source>AccurateRipUnreachable</source>
        <extracomment>the AccurateRip database cannot be reached (%@)</extracomment>
        <translation>die AccurateRip-Datenbank ist nicht erreichbar (%@)</translation>
    </message>
    <message>
        <source>AccurateRipWrongSize</source>
        <extracomment>the database&apos;s answer does not fit the disc&apos;s tracks</extracomment>
        <translation>die Antwort der Datenbank passt nicht zu den Titeln der CD</translation>
    </message>
    <message>
        <source>RipLogUnwritten</source>
        <extracomment>The rip log could not be written into the rip folder.</extracomment>
        <translation>Das Rip-Protokoll konnte nicht in den Rip-Ordner geschrieben werden.</translation>
    </message>
    <message>
        <source>AccurateRipSome</source>
        <extracomment>AccurateRip: %u of %u tracks accurately ripped (lowest confidence %u); the others could not be checked.</extracomment>
        <translation>AccurateRip: %u von %u Titeln fehlerfrei gerippt (niedrigste Konfidenz %u); die übrigen konnten nicht geprüft werden.</translation>
    </message>
    <message>
        <source>AlbumLoudnessIncomplete</source>
        <extracomment>The files of the album &quot;%@&quot; have track loudness tags only: not every file of the album was encoded and measured.</extracomment>
        <translation>Die Dateien des Albums „%@“ haben nur Lautheits-Tags für den Titel: Nicht jede Datei des Albums wurde kodiert und gemessen.</translation>
    </message>
    <message>
        <source>LoudnessFailed</source>
        <extracomment>The loudness of &quot;%@&quot; could not be measured (%@): the MP3 has no loudness tags.</extracomment>
        <translation>Die Lautheit von „%@“ konnte nicht gemessen werden (%@): Die MP3-Datei hat keine Lautheits-Tags.</translation>
    </message>
    <message>
        <source>LoudnessMeterFailed</source>
        <extracomment>the loudness meter failed</extracomment>
        <translation>die Lautheitsmessung ist gescheitert</translation>
    </message>
    <message>
        <source>LoudnessRawInput</source>
        <extracomment>Headerless input gets no loudness tags: only the encoder knows how to read its samples.</extracomment>
        <translation>Eingaben ohne Header erhalten keine Lautheits-Tags: Nur der Encoder weiß, wie ihre Samples zu lesen sind.</translation>
    </message>
    <message>
        <source>LoudnessSilent</source>
        <extracomment>&quot;%@&quot; holds only silence: the MP3 has no track loudness tags.</extracomment>
        <translation>„%@“ enthält nur Stille: Die MP3-Datei hat keine Lautheits-Tags für den Titel.</translation>
    </message>
    <message>
        <source>LoudnessTagsFailed</source>
        <extracomment>The loudness tags of &quot;%@&quot; could not be written: %@.</extracomment>
        <translation>Die Lautheits-Tags von „%@“ konnten nicht geschrieben werden: %@.</translation>
    </message>
    <message>
        <source>LoudnessUnreadable</source>
        <extracomment>its audio cannot be read</extracomment>
        <translation>ihre Audiodaten können nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>RipWindow</name>
    <message>
        <source>Rip Audio CD</source>
        <translation>Audio-CD rippen</translation>
    </message>
    <message>
        <source>A&amp;rtist:</source>
        <translation>&amp;Interpret:</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>The disc&apos;s artist: names the rip folder and tags every track.</source>
        <translation>Der Interpret der CD: benennt den Rip-Ordner und wird in jeden Titel geschrieben.</translation>
    </message>
    <message>
        <source>A&amp;lbum:</source>
        <translation>A&amp;lbum:</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>The disc&apos;s album title: names the rip folder and tags every track.</source>
        <translation>Der Albumtitel der CD: benennt den Rip-Ordner und wird in jeden Titel geschrieben.</translation>
    </message>
    <message>
        <source>&amp;Year:</source>
        <translation>&amp;Jahr:</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>The disc&apos;s year, digits only.</source>
        <translation>Das Jahr der CD, nur Ziffern.</translation>
    </message>
    <message>
        <source>&amp;Genre:</source>
        <translation>&amp;Genre:</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>The disc&apos;s genre: choose one or type your own.</source>
        <translation>Das Genre der CD: eines wählen oder ein eigenes eingeben.</translation>
    </message>
    <message>
        <source>&amp;Tracks:</source>
        <translation>&amp;Titel:</translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>The audio tracks of the disc. Select one to edit its title and comment.</source>
        <translation>Die Audiotitel der CD. Einen auswählen, um Titel und Kommentar zu bearbeiten.</translation>
    </message>
    <message>
        <source>T&amp;itle:</source>
        <translation>Titel&amp;name:</translation>
    </message>
    <message>
        <source>Track title</source>
        <translation>Titelname</translation>
    </message>
    <message>
        <source>The title of the selected track.</source>
        <translation>Der Name des ausgewählten Titels.</translation>
    </message>
    <message>
        <source>&amp;Comment:</source>
        <translation>&amp;Kommentar:</translation>
    </message>
    <message>
        <source>Track comment</source>
        <translation>Kommentar des Titels</translation>
    </message>
    <message>
        <source>The comment of the selected track.</source>
        <translation>Der Kommentar des ausgewählten Titels.</translation>
    </message>
    <message>
        <source>Ri&amp;p…</source>
        <translation>Ri&amp;ppen…</translation>
    </message>
    <message>
        <source>Rip</source>
        <translation>Rippen</translation>
    </message>
    <message>
        <source>Choose a destination folder and encode every track into it.</source>
        <translation>Einen Zielordner wählen und jeden Titel dorthin kodieren.</translation>
    </message>
    <message>
        <source>Cover</source>
        <translation>Cover</translation>
    </message>
    <message>
        <source>The front cover of the disc&apos;s release, as the disc lookup found it.</source>
        <translation>Das Frontcover der Veröffentlichung der CD, wie das Nachschlagen es fand.</translation>
    </message>
</context>
<context>
    <name>TagsPanel</name>
    <message>
        <source>Tags</source>
        <translation>Tags</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Title tag of the selected file.</source>
        <translation>Titel-Tag der ausgewählten Datei.</translation>
    </message>
    <message>
        <source>Artist:</source>
        <translation>Interpret:</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Artist tag of the selected file.</source>
        <translation>Interpret-Tag der ausgewählten Datei.</translation>
    </message>
    <message>
        <source>Album:</source>
        <translation>Album:</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Album tag of the selected file.</source>
        <translation>Album-Tag der ausgewählten Datei.</translation>
    </message>
    <message>
        <source>Year:</source>
        <translation>Jahr:</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Year tag of the selected file.</source>
        <translation>Jahr-Tag der ausgewählten Datei.</translation>
    </message>
    <message>
        <source>Track:</source>
        <translation>Titelnr.:</translation>
    </message>
    <message>
        <source>Track number</source>
        <translation>Titelnummer</translation>
    </message>
    <message>
        <source>Track number tag of the selected file.</source>
        <translation>Titelnummer-Tag der ausgewählten Datei.</translation>
    </message>
    <message>
        <source>Genre:</source>
        <translation>Genre:</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>Genre tag of the selected file: choose one or type your own.</source>
        <translation>Genre-Tag der ausgewählten Datei: eines wählen oder ein eigenes eingeben.</translation>
    </message>
    <message>
        <source>Comment:</source>
        <translation>Kommentar:</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>Comment tag of the selected file.</source>
        <translation>Kommentar-Tag der ausgewählten Datei.</translation>
    </message>
</context>
<context>
    <name>progressSheet</name>
    <message>
        <source>Encoding</source>
        <translation>Kodierung</translation>
    </message>
    <message>
        <source>Task</source>
        <translation>Aufgabe</translation>
    </message>
    <message>
        <source>Position in the run</source>
        <translation>Position im Durchlauf</translation>
    </message>
    <message>
        <source>Progress of the current file</source>
        <translation>Fortschritt der aktuellen Datei</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Restzeit</translation>
    </message>
    <message>
        <source>Encoder details</source>
        <translation>Encoder-Details</translation>
    </message>
    <message>
        <source>Encoder version</source>
        <translation>Encoder-Version</translation>
    </message>
    <message>
        <source>Psychoacoustic model version</source>
        <translation>Version des psychoakustischen Modells</translation>
    </message>
    <message>
        <source>High-pass filter</source>
        <translation>Hochpassfilter</translation>
    </message>
    <message>
        <source>Low-pass filter</source>
        <translation>Tiefpassfilter</translation>
    </message>
    <message>
        <source>S&amp;kip File</source>
        <translation>Datei &amp;überspringen</translation>
    </message>
    <message>
        <source>Skip the current file</source>
        <translation>Die aktuelle Datei überspringen</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>S&amp;toppen</translation>
    </message>
    <message>
        <source>Stop encoding</source>
        <translation>Kodierung stoppen</translation>
    </message>
    <message>
        <source>Files being encoded</source>
        <translation>Dateien, die gerade kodiert werden</translation>
    </message>
</context>
</TS>
