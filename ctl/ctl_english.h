#pragma once
// kd36ctl speaks English on standard error: the window's box texts it can
// meet, in English. A text not listed is printed as it stands.
#include <map>
#include <string>

namespace kd36::ctl {

inline std::string english(const std::string& text)
{
    static const std::map<std::string, std::string> words = {
        {"送信失敗", "send failed"},
        {"通信ポートのデバイスが応答しません。ポートを閉じます。",
         "the port's device does not respond; the port is closed"},
        {"通信ポートのデバイスが応答しません。", "the port's device does not respond"},
        {"Comポートオープンの失敗", "the port could not be opened"},
        {"システムIDが設定されていません。", "no system ID is given"},
        {"システムIDには整数をセットしてください。", "the system ID must be an integer"},
        {"システムIDを 0 に設定しようとしています。\r\nよろしいですか？", "set the system ID to 0?"},
        {"書き込み欄を初期値にします。", "reset the write fields to their defaults?"},
        {"不明なエラーが発生しました。", "an unknown error occurred"},
        {"要求されたモードがサポートされていません。", "the requested mode is not supported"},
        {"ハードウェアがブレーク条件を検出しました。", "the hardware detected a break condition"},
        {"フレーミング エラーを検出しました。", "framing error"},
        {"デバイスとの通信中にI/Oエラーが発生しました。", "I/O error while talking to the device"},
        {"パラレル デバイスが用紙切れであることを警告しました。", "the parallel device is out of paper"},
        {"文字バッファがいっぱいです。次に送られる文字は失われます。",
         "character buffer overrun; the next character is lost"},
        {"入力バッファのオーバーフローが発生しました。", "input buffer overflow"},
        {"ハードウェアがパリティ エラーを検出しました。", "parity error"},
        {"アプリケーションが文字を転送しようとしましたが､ 出力バッファがいっぱいでした。",
         "the output buffer was full when a character was to be sent"},
        {"パラレル デバイスが選択されていません。", "the parallel device is not selected"},
        {"パラレル デバイス上でタイムアウトになりました。", "timeout on the parallel device"},
        {"CSVファイルを保存できません。", "the CSV file cannot be saved"},
    };
    auto it = words.find(text);
    return it == words.end() ? text : it->second;
}

} // namespace kd36::ctl
