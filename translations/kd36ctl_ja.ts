<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>kd36ctl</name>
    <message>
        <source>%1 could not be written to the port; no further command was sent</source>
        <translation>%1 をポートに書き込めませんでした。以降のコマンドは送信していません</translation>
    </message>
    <message>
        <source>station &apos;%1&apos; is not one hexadecimal digit 0-F</source>
        <translation>局番 &apos;%1&apos; が 16 進 1 桁 (0-F) ではありません</translation>
    </message>
    <message>
        <source>(nothing)</source>
        <translation>(なし)</translation>
    </message>
    <message>
        <source>%1: wrote %2, read %3</source>
        <translation>%1: 書込 %2、読込 %3</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(なし)</translation>
    </message>
    <message>
        <source>not sent: %1</source>
        <translation>未送信: %1</translation>
    </message>
    <message>
        <source>sent, no reply yet: %1</source>
        <translation>送信済み・応答待ち: %1</translation>
    </message>
    <message>
        <source>written: %1</source>
        <translation>書込済み: %1</translation>
    </message>
    <message>
        <source>no reply: %1</source>
        <translation>応答なし: %1</translation>
    </message>
    <message>
        <source>profile %1: %2</source>
        <translation>プロファイル %1: %2</translation>
    </message>
    <message>
        <source>missing (the item is ticked for writing)</source>
        <translation>値がありません (書込対象の項目です)</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>%1 行目: %2</translation>
    </message>
    <message>
        <source>profile %1: nothing written:</source>
        <translation>プロファイル %1: 何も書き込んでいません:</translation>
    </message>
    <message>
        <source>no item is ticked for writing (Write=yes)</source>
        <translation>書込対象の項目がありません (Write=yes)</translation>
    </message>
    <message>
        <source>profile %1: the panel did not take it (%2); nothing written</source>
        <translation>プロファイル %1: 設定パネルに反映できません (%2)。何も書き込んでいません</translation>
    </message>
    <message>
        <source>verify: %1</source>
        <translation>照合: %1</translation>
    </message>
    <message>
        <source>no reply to:%1; profile not written</source>
        <translation>応答なし:%1。プロファイルは保存していません</translation>
    </message>
    <message>
        <source>not copied:</source>
        <translation>コピーしなかった項目:</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>ファイルがありません</translation>
    </message>
    <message>
        <source>a folder, not a file</source>
        <translation>ファイルではなくフォルダです</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>フォルダです</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>通常のファイルではありません</translation>
    </message>
    <message>
        <source>larger than %1 KiB</source>
        <translation>%1 KiB を超えています</translation>
    </message>
    <message>
        <source>a profile for another model (%1)</source>
        <translation>別機種のプロファイルです (%1)</translation>
    </message>
    <message>
        <source>UTF-32 text; save the profile as UTF-8</source>
        <translation>UTF-32 のテキストです。プロファイルは UTF-8 で保存してください</translation>
    </message>
    <message>
        <source>UTF-16 text; save the profile as UTF-8</source>
        <translation>UTF-16 のテキストです。プロファイルは UTF-8 で保存してください</translation>
    </message>
    <message>
        <source>a NUL byte at offset %1; a profile is UTF-8 text</source>
        <translation>オフセット %1 に NUL バイトがあります。プロファイルは UTF-8 のテキストです</translation>
    </message>
    <message>
        <source>not UTF-8 text (offset %1)</source>
        <translation>UTF-8 のテキストではありません (オフセット %1)</translation>
    </message>
    <message>
        <source>the file changed while it was being saved</source>
        <translation>保存中にファイルが変更されました</translation>
    </message>
    <message>
        <source>the file is %1 text; save it as UTF-8</source>
        <translation>%1 のテキストです。UTF-8 で保存し直してください</translation>
    </message>
    <message>
        <source>a NUL byte at offset %1</source>
        <translation>オフセット %1 に NUL バイトがあります</translation>
    </message>
    <message>
        <source>--%1: &apos;%2&apos; is not one of the choices</source>
        <translation>--%1: &apos;%2&apos; は選択肢にありません</translation>
    </message>
    <message>
        <source>--%1: &apos;%2&apos; is not a number from %3 to %4</source>
        <translation>--%1: &apos;%2&apos; は %3～%4 の数値ではありません</translation>
    </message>
    <message>
        <source>send: the command is empty</source>
        <translation>send: コマンドが空です</translation>
    </message>
    <message>
        <source>send: the command holds a line break (CR or LF); send takes one command line</source>
        <translation>send: コマンドに改行 (CR または LF) が含まれています。send で送れるのは 1 行のコマンドだけです</translation>
    </message>
    <message>
        <source>send: the command is too long for the line: %1 bytes in Shift-JIS with CR LF, the port takes at most %2</source>
        <translation>send: コマンドが長すぎます。CR LF 込みの Shift-JIS で %1 バイト、ポートに渡せるのは %2 バイトまでです</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;</source>
        <translation>不明なオプション &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Unknown options: %1</source>
        <translation>不明なオプション: %1</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;</source>
        <translation>&apos;%1&apos; の値がありません</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;</source>
        <translation>&apos;%1&apos; は値を取りません</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>コマンドが指定されていません</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation>不明なコマンド &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1 takes %2 argument(s), got %3</source>
        <translation>%1 の引数は %2 個ですが、%3 個指定されています</translation>
    </message>
    <message>
        <source>--verify belongs to write</source>
        <translation>--verify は write 専用です</translation>
    </message>
    <message>
        <source>--interval and --count belong to watch</source>
        <translation>--interval と --count は watch 専用です</translation>
    </message>
    <message>
        <source>%1 -&gt; No</source>
        <translation>%1 -&gt; いいえ</translation>
    </message>
    <message>
        <source>%1 (try &apos;kd36ctl --help&apos;)</source>
        <translation>%1 (&apos;kd36ctl --help&apos; を参照)</translation>
    </message>
    <message>
        <source>interrupted while opening the port</source>
        <translation>ポートのオープン中に中断しました</translation>
    </message>
    <message>
        <source>another program holds the port</source>
        <translation>ほかのプログラムがポートを使用中です</translation>
    </message>
    <message>
        <source>COM%1: no such port (&apos;kd36ctl ports&apos; lists them)</source>
        <translation>COM%1: そのポートはありません (一覧は &apos;kd36ctl ports&apos;)</translation>
    </message>
    <message>
        <source>settings file %1: [Simulator] %2 is not understood; left out</source>
        <translation>設定ファイル %1: [Simulator] の %2 は解釈できないため無視します</translation>
    </message>
    <message>
        <source>interrupted; port closed</source>
        <translation>中断しました。ポートを閉じました</translation>
    </message>
    <message>
        <source>settings file %1 cannot be read: %2</source>
        <translation>設定ファイル %1 を読み込めません: %2</translation>
    </message>
    <message>
        <source>settings file %1 cannot be read whole (%2); its pins are left out</source>
        <translation>設定ファイル %1 を最後まで読み込めません (%2)。[Ports] の割り当ては使いません</translation>
    </message>
    <message>
        <source>settings file %1 cannot be read whole (%2), so its port numbers are not known;</source>
        <translation>設定ファイル %1 を最後まで読み込めない (%2) ため、ポート番号が決まりません。</translation>
    </message>
    <message>
        <source>give the device path instead of %1</source>
        <translation>%1 の代わりにデバイスのパスを指定してください</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a port (COMn, a device path or simulator)</source>
        <translation>&apos;%1&apos; はポートではありません (COMn、デバイスのパス、simulator のいずれか)</translation>
    </message>
</context>
</TS>
