<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>QtBoxes</name>
    <message>
        <source>スペアナ表示用DLLをロードできません。</source>
        <translation>The spectrum display library cannot be loaded.</translation>
    </message>
    <message>
        <source>関数アドレスを解決できませんでした。</source>
        <translation>The library&apos;s functions could not be found.</translation>
    </message>
    <message>
        <source>モジュレーション異常</source>
        <translation>Modulation error</translation>
    </message>
    <message>
        <source>CSVファイルを保存できません。</source>
        <translation>The CSV file cannot be saved.</translation>
    </message>
    <message>
        <source>送信失敗</source>
        <translation>Send failed</translation>
    </message>
    <message>
        <source>通信ポートのデバイスが応答しません。ポートを閉じます。</source>
        <translation>The port&apos;s device does not respond. The port is closed.</translation>
    </message>
    <message>
        <source>自局IDの設定またはユーザー電文を確認してください。</source>
        <translation>Check the local ID or the user message.</translation>
    </message>
    <message>
        <source>ルート設定を確認してください。</source>
        <translation>Check the route.</translation>
    </message>
    <message>
        <source>システムIDが設定されていません。</source>
        <translation>No system ID is set.</translation>
    </message>
    <message>
        <source>システムIDには整数をセットしてください。</source>
        <translation>The system ID must be an integer.</translation>
    </message>
    <message>
        <source>システムIDを 0 に設定しようとしています。<byte value="xd"/>
よろしいですか？</source>
        <translation>The system ID is about to be set to 0.<byte value="xd"/>
Go on?</translation>
    </message>
    <message>
        <source>書き込み欄を初期値にします。</source>
        <translation>The write fields are reset to their defaults.</translation>
    </message>
    <message>
        <source>不明なエラーが発生しました。</source>
        <translation>An unknown error occurred.</translation>
    </message>
    <message>
        <source>要求されたモードがサポートされていません。</source>
        <translation>The requested mode is not supported.</translation>
    </message>
    <message>
        <source>ハードウェアがブレーク条件を検出しました。</source>
        <translation>The hardware detected a break condition.</translation>
    </message>
    <message>
        <source>フレーミング エラーを検出しました。</source>
        <translation>A framing error was detected.</translation>
    </message>
    <message>
        <source>デバイスとの通信中にI/Oエラーが発生しました。</source>
        <translation>An I/O error occurred while talking to the device.</translation>
    </message>
    <message>
        <source>パラレル デバイスが用紙切れであることを警告しました。</source>
        <translation>The parallel device reported it is out of paper.</translation>
    </message>
    <message>
        <source>文字バッファがいっぱいです。次に送られる文字は失われます。</source>
        <translation>The character buffer is full. The next character sent is lost.</translation>
    </message>
    <message>
        <source>入力バッファのオーバーフローが発生しました。</source>
        <translation>The input buffer overflowed.</translation>
    </message>
    <message>
        <source>ハードウェアがパリティ エラーを検出しました。</source>
        <translation>The hardware detected a parity error.</translation>
    </message>
    <message>
        <source>アプリケーションが文字を転送しようとしましたが､ 出力バッファがいっぱいでした。</source>
        <translation>A character was to be sent, but the output buffer was full.</translation>
    </message>
    <message>
        <source>パラレル デバイスが選択されていません。</source>
        <translation>The parallel device is not selected.</translation>
    </message>
    <message>
        <source>パラレル デバイス上でタイムアウトになりました。</source>
        <translation>The parallel device timed out.</translation>
    </message>
    <message>
        <source>Comポートオープンの失敗</source>
        <translation>The COM port could not be opened</translation>
    </message>
    <message>
        <source>デバッグ</source>
        <translation>Debug</translation>
    </message>
</context>
<context>
    <name>RangeChart</name>
    <message>
        <source>最初の応答を待っています…</source>
        <translation>Waiting for the first reply…</translation>
    </message>
    <message>
        <source>開始を押すと測定します</source>
        <translation>Press Start to measure</translation>
    </message>
    <message>
        <source>経過時間</source>
        <translation>Elapsed</translation>
    </message>
    <message>
        <source>レベル</source>
        <translation>Level</translation>
    </message>
</context>
<context>
    <name>RecordsMenu</name>
    <message>
        <source>値が不正です</source>
        <translation>invalid value</translation>
    </message>
    <message>
        <source>不明なキーです</source>
        <translation>unknown key</translation>
    </message>
    <message>
        <source>不明なセクションです</source>
        <translation>unknown section</translation>
    </message>
    <message>
        <source>重複しています</source>
        <translation>given more than once</translation>
    </message>
    <message>
        <source>INI の行ではありません</source>
        <translation>not an INI line</translation>
    </message>
    <message>
        <source>制御文字を含みます</source>
        <translation>a control character in the line</translation>
    </message>
    <message>
        <source>値がありません</source>
        <translation>missing (the item is ticked for writing)</translation>
    </message>
    <message>
        <source>ほか %1 件</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>書き出せません</source>
        <translation>cannot be written out</translation>
    </message>
</context>
<context>
    <name>SessionLogWriter</name>
    <message>
        <source>通常のファイルではありません。ログは通常のファイルにだけ記録できます。</source>
        <translation>Not a regular file. A log can only be written to a regular file.</translation>
    </message>
    <message>
        <source>ログファイルが見つかりません（削除または移動されました）。</source>
        <translation>The log file is gone (removed or moved).</translation>
    </message>
    <message>
        <source>ログファイルへの書き込みが追いつかないため、記録を停止しました。</source>
        <translation>Logging stopped: the log file could not be written fast enough.</translation>
    </message>
    <message>
        <source>通信ポートのデバイスが応答しません。</source>
        <translation>The port&apos;s device does not respond.</translation>
    </message>
    <message>
        <source>送信失敗</source>
        <translation>Send failed</translation>
    </message>
</context>
<context>
    <name>TAboutForm</name>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>lblType</source>
        <translation>lblType</translation>
    </message>
    <message>
        <source>lblExplain</source>
        <translation>lblExplain</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>© 2026 NORVANE Corporation · MIT License</source>
        <translation>© 2026 NORVANE Corporation · MIT License</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>lblUrl</source>
        <translation>lblUrl</translation>
    </message>
    <message>
        <source>拡張通信機能を使用できます。</source>
        <translation>Extended functions are available.</translation>
    </message>
    <message>
        <source>拡張通信機能を使用できません。</source>
        <translation>Extended functions are not available.</translation>
    </message>
</context>
<context>
    <name>TLinkForm</name>
    <message>
        <source>アンサーバック確認</source>
        <translation>Answer-back check</translation>
    </message>
    <message>
        <source>電界強度</source>
        <translation>Field strength</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Level (LED)</source>
        <translation>Level (LED)</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>Level 1</source>
        <translation>Level 1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>Level 2</source>
        <translation>Level 2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>Level 3</source>
        <translation>Level 3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>Level 4</source>
        <translation>Level 4</translation>
    </message>
    <message>
        <source>#0</source>
        <translation>#0</translation>
    </message>
    <message>
        <source>#0 Level</source>
        <translation>#0 Level</translation>
    </message>
    <message>
        <source>#1</source>
        <translation>#1</translation>
    </message>
    <message>
        <source>#1 Level</source>
        <translation>#1 Level</translation>
    </message>
    <message>
        <source>#2</source>
        <translation>#2</translation>
    </message>
    <message>
        <source>#2 Level</source>
        <translation>#2 Level</translation>
    </message>
    <message>
        <source>#3</source>
        <translation>#3</translation>
    </message>
    <message>
        <source>#3 Level</source>
        <translation>#3 Level</translation>
    </message>
    <message>
        <source>#4</source>
        <translation>#4</translation>
    </message>
    <message>
        <source>#4 Level</source>
        <translation>#4 Level</translation>
    </message>
    <message>
        <source>#5</source>
        <translation>#5</translation>
    </message>
    <message>
        <source>#5 Level</source>
        <translation>#5 Level</translation>
    </message>
    <message>
        <source>#6</source>
        <translation>#6</translation>
    </message>
    <message>
        <source>#6 Level</source>
        <translation>#6 Level</translation>
    </message>
    <message>
        <source>#7</source>
        <translation>#7</translation>
    </message>
    <message>
        <source>#7 Level</source>
        <translation>#7 Level</translation>
    </message>
    <message>
        <source>#8</source>
        <translation>#8</translation>
    </message>
    <message>
        <source>#8 Level</source>
        <translation>#8 Level</translation>
    </message>
    <message>
        <source>#9</source>
        <translation>#9</translation>
    </message>
    <message>
        <source>#9 Level</source>
        <translation>#9 Level</translation>
    </message>
    <message>
        <source>#A</source>
        <translation>#A</translation>
    </message>
    <message>
        <source>#A Level</source>
        <translation>#A Level</translation>
    </message>
    <message>
        <source>#B</source>
        <translation>#B</translation>
    </message>
    <message>
        <source>#B Level</source>
        <translation>#B Level</translation>
    </message>
    <message>
        <source>#C</source>
        <translation>#C</translation>
    </message>
    <message>
        <source>#C Level</source>
        <translation>#C Level</translation>
    </message>
    <message>
        <source>#D</source>
        <translation>#D</translation>
    </message>
    <message>
        <source>#D Level</source>
        <translation>#D Level</translation>
    </message>
    <message>
        <source>#E</source>
        <translation>#E</translation>
    </message>
    <message>
        <source>#E Level</source>
        <translation>#E Level</translation>
    </message>
    <message>
        <source>#F</source>
        <translation>#F</translation>
    </message>
    <message>
        <source>#F Level</source>
        <translation>#F Level</translation>
    </message>
    <message>
        <source>すべて(&amp;A)</source>
        <translation>&amp;All</translation>
    </message>
    <message>
        <source>すべて</source>
        <translation>All</translation>
    </message>
    <message>
        <source>進捗状況：</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>進捗状況</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>情報モニタの内容を消去します</source>
        <translation>Clears the information monitor</translation>
    </message>
    <message>
        <source>CSV保存(&amp;S)...</source>
        <translation>&amp;Save CSV...</translation>
    </message>
    <message>
        <source>前回の取得結果をCSVファイルに保存します</source>
        <translation>Saves the last results to a CSV file</translation>
    </message>
    <message>
        <source>CSV保存</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>取得(&amp;G)</source>
        <translation>&amp;Get</translation>
    </message>
    <message>
        <source>取得</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>CSV (*.csv);;すべてのファイル (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>レンジテスト...</source>
        <translation>Range test...</translation>
    </message>
    <message>
        <source>チェックした局を一定間隔で繰り返し確認します</source>
        <translation>Polls the ticked stations again and again at a set interval</translation>
    </message>
    <message>
        <source>レンジテスト</source>
        <translation>Range test</translation>
    </message>
    <message>
        <source>IDを選択してください。</source>
        <translation>Select a station first.</translation>
    </message>
    <message>
        <source>開始します。</source>
        <translation>Starting.</translation>
    </message>
    <message>
        <source>完了しました。</source>
        <translation>Done.</translation>
    </message>
    <message>
        <source>通信ができません。</source>
        <translation>No line to the modem.</translation>
    </message>
    <message>
        <source>中止しました。</source>
        <translation>Stopped.</translation>
    </message>
    <message>
        <source>応答がありません。</source>
        <translation>no reply.</translation>
    </message>
    <message>
        <source>#%1 を確認中･･･ </source>
        <extracomment>The station being polled (%1: its hex digit); its level follows on the same line.</extracomment>
        <translation>#%1 checking... </translation>
    </message>
    <message>
        <source>レベル %1 です。</source>
        <extracomment>The level the station answered (%1: 0 to 4).</extracomment>
        <translation>level %1.</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>KD-36 セットアップ</source>
        <translation>KD-36 Setup</translation>
    </message>
    <message>
        <source>ツールバー</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>オンラインモード</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>コマンドモード</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>KD-36 電源［DSR信号］</source>
        <translation>KD-36 power [DSR]</translation>
    </message>
    <message>
        <source>DSR信号ランプ</source>
        <translation>DSR lamp</translation>
    </message>
    <message>
        <source>送信不可    ［CTS信号］</source>
        <translation>Cannot send  [CTS]</translation>
    </message>
    <message>
        <source>CTS信号ランプ</source>
        <translation>CTS lamp</translation>
    </message>
    <message>
        <source>通信ポートランプ</source>
        <translation>Port lamp</translation>
    </message>
    <message>
        <source>通信ポート ON</source>
        <translation>Port ON</translation>
    </message>
    <message>
        <source>通信ポートを制御します。</source>
        <translation>Opens and closes the port.</translation>
    </message>
    <message>
        <source>通信ポート</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>通信のプロパティ</source>
        <translation>Port settings</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>送受信モニタ</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>通信内容を表示します</source>
        <translation>Shows what is sent and received</translation>
    </message>
    <message>
        <source>コマンドを入力してください。</source>
        <translation>Type a command.</translation>
    </message>
    <message>
        <source>コマンドライン</source>
        <translation>Command line</translation>
    </message>
    <message>
        <source>コマンドラインにテンプレートをコピーします。</source>
        <translation>Copies a template to the command line.</translation>
    </message>
    <message>
        <source>テンプレート</source>
        <translation>Template</translation>
    </message>
    <message>
        <source>コマンド送信</source>
        <translation>Send command</translation>
    </message>
    <message>
        <source>コマンドラインの内容を送信します。</source>
        <translation>Sends the command line.</translation>
    </message>
    <message>
        <source>モニタ クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>送受信モニタの内容を消去します</source>
        <translation>Clears the monitor</translation>
    </message>
    <message>
        <source>機能</source>
        <translation>Functions</translation>
    </message>
    <message>
        <source>エアーモニタ</source>
        <translation>Air monitor</translation>
    </message>
    <message>
        <source>アンサーバック</source>
        <translation>Answer-back</translation>
    </message>
    <message>
        <source>パケット送受信</source>
        <translation>Packets</translation>
    </message>
    <message>
        <source>セッティングパネル</source>
        <translation>Setting panel</translation>
    </message>
    <message>
        <source>セッティングパネルのページ</source>
        <translation>Setting panel pages</translation>
    </message>
    <message>
        <source>基本設定</source>
        <translation>Basic</translation>
    </message>
    <message>
        <source>システムID</source>
        <translation>System ID</translation>
    </message>
    <message>
        <source>システムID数字：7桁</source>
        <translation>System ID: 7 digits</translation>
    </message>
    <message>
        <source>システムID 読込値</source>
        <translation>System ID read</translation>
    </message>
    <message>
        <source>機器ＩＤ</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>本体 ID切替スイッチ</source>
        <translation>ID switch on the unit</translation>
    </message>
    <message>
        <source>機器ID 読込値</source>
        <translation>Device ID read</translation>
    </message>
    <message>
        <source>チャンネル選択</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>チャンネル自動</source>
        <translation>Auto channel</translation>
    </message>
    <message>
        <source>グループ</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>ｸﾞﾙｰﾌﾟ</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>グループ 読込値</source>
        <translation>Group read</translation>
    </message>
    <message>
        <source>チャンネル固定</source>
        <translation>Fixed channel</translation>
    </message>
    <message>
        <source>チャンネル</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>9</source>
        <translation>9</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>11</source>
        <translation>11</translation>
    </message>
    <message>
        <source>12</source>
        <translation>12</translation>
    </message>
    <message>
        <source>13</source>
        <translation>13</translation>
    </message>
    <message>
        <source>14</source>
        <translation>14</translation>
    </message>
    <message>
        <source>15</source>
        <translation>15</translation>
    </message>
    <message>
        <source>16</source>
        <translation>16</translation>
    </message>
    <message>
        <source>17</source>
        <translation>17</translation>
    </message>
    <message>
        <source>18</source>
        <translation>18</translation>
    </message>
    <message>
        <source>19</source>
        <translation>19</translation>
    </message>
    <message>
        <source>20</source>
        <translation>20</translation>
    </message>
    <message>
        <source>21</source>
        <translation>21</translation>
    </message>
    <message>
        <source>22</source>
        <translation>22</translation>
    </message>
    <message>
        <source>23</source>
        <translation>23</translation>
    </message>
    <message>
        <source>24</source>
        <translation>24</translation>
    </message>
    <message>
        <source>25</source>
        <translation>25</translation>
    </message>
    <message>
        <source>26</source>
        <translation>26</translation>
    </message>
    <message>
        <source>27</source>
        <translation>27</translation>
    </message>
    <message>
        <source>28</source>
        <translation>28</translation>
    </message>
    <message>
        <source>29</source>
        <translation>29</translation>
    </message>
    <message>
        <source>30</source>
        <translation>30</translation>
    </message>
    <message>
        <source>31</source>
        <translation>31</translation>
    </message>
    <message>
        <source>32</source>
        <translation>32</translation>
    </message>
    <message>
        <source>33</source>
        <translation>33</translation>
    </message>
    <message>
        <source>34</source>
        <translation>34</translation>
    </message>
    <message>
        <source>35</source>
        <translation>35</translation>
    </message>
    <message>
        <source>36</source>
        <translation>36</translation>
    </message>
    <message>
        <source>37</source>
        <translation>37</translation>
    </message>
    <message>
        <source>38</source>
        <translation>38</translation>
    </message>
    <message>
        <source>39</source>
        <translation>39</translation>
    </message>
    <message>
        <source>40</source>
        <translation>40</translation>
    </message>
    <message>
        <source>41</source>
        <translation>41</translation>
    </message>
    <message>
        <source>42</source>
        <translation>42</translation>
    </message>
    <message>
        <source>43</source>
        <translation>43</translation>
    </message>
    <message>
        <source>44</source>
        <translation>44</translation>
    </message>
    <message>
        <source>45</source>
        <translation>45</translation>
    </message>
    <message>
        <source>46</source>
        <translation>46</translation>
    </message>
    <message>
        <source>Ch</source>
        <translation>Ch</translation>
    </message>
    <message>
        <source>チャンネル 読込値</source>
        <translation>Channel read</translation>
    </message>
    <message>
        <source>通信ルート</source>
        <translation>Route</translation>
    </message>
    <message>
        <source>目的局 機器ID</source>
        <translation>Target ID</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>C</source>
        <translation>C</translation>
    </message>
    <message>
        <source>D</source>
        <translation>D</translation>
    </message>
    <message>
        <source>E</source>
        <translation>E</translation>
    </message>
    <message>
        <source>F</source>
        <translation>F</translation>
    </message>
    <message>
        <source>目的局 機器ID 読込値</source>
        <translation>Target ID read</translation>
    </message>
    <message>
        <source>中継局1機器ID（-で省略）</source>
        <translation>Relay 1 ID (- for none)</translation>
    </message>
    <message>
        <source>中継局1機器ID</source>
        <translation>Relay 1 ID</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>中継局1機器ID 読込値</source>
        <translation>Relay 1 ID read</translation>
    </message>
    <message>
        <source>中継局2機器ID（-で省略）</source>
        <translation>Relay 2 ID (- for none)</translation>
    </message>
    <message>
        <source>中継局2機器ID</source>
        <translation>Relay 2 ID</translation>
    </message>
    <message>
        <source>中継局2機器ID 読込値</source>
        <translation>Relay 2 ID read</translation>
    </message>
    <message>
        <source>中継局3機器ID（-で省略）</source>
        <translation>Relay 3 ID (- for none)</translation>
    </message>
    <message>
        <source>中継局3機器ID</source>
        <translation>Relay 3 ID</translation>
    </message>
    <message>
        <source>中継局3機器ID 読込値</source>
        <translation>Relay 3 ID read</translation>
    </message>
    <message>
        <source>中継局4機器ID（-で省略）</source>
        <translation>Relay 4 ID (- for none)</translation>
    </message>
    <message>
        <source>中継局4機器ID</source>
        <translation>Relay 4 ID</translation>
    </message>
    <message>
        <source>中継局4機器ID 読込値</source>
        <translation>Relay 4 ID read</translation>
    </message>
    <message>
        <source>中継局5機器ID（-で省略）</source>
        <translation>Relay 5 ID (- for none)</translation>
    </message>
    <message>
        <source>中継局5機器ID</source>
        <translation>Relay 5 ID</translation>
    </message>
    <message>
        <source>中継局5機器ID 読込値</source>
        <translation>Relay 5 ID read</translation>
    </message>
    <message>
        <source>拡張設定</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>フレーム関連</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>バイト長 （ 1-256 ）</source>
        <translation>Bytes (1-256)</translation>
    </message>
    <message>
        <source>バイト長</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>byte</source>
        <translation>byte</translation>
    </message>
    <message>
        <source>バイト長 読込値</source>
        <translation>Bytes read</translation>
    </message>
    <message>
        <source>アイドル時間 （ 50-500 ）</source>
        <translation>Idle time (50-500)</translation>
    </message>
    <message>
        <source>アイドル時間</source>
        <translation>Idle time</translation>
    </message>
    <message>
        <source>mSec</source>
        <translation>mSec</translation>
    </message>
    <message>
        <source>アイドル時間 読込値</source>
        <translation>Idle time read</translation>
    </message>
    <message>
        <source>送信待ち時間 （ 3-100 ）</source>
        <translation>Send wait (3-100)</translation>
    </message>
    <message>
        <source>送信待ち時間</source>
        <translation>Send wait</translation>
    </message>
    <message>
        <source>Sec</source>
        <translation>Sec</translation>
    </message>
    <message>
        <source>送信待ち時間 読込値</source>
        <translation>Send wait read</translation>
    </message>
    <message>
        <source>送信回数 （ 0-9 ）</source>
        <translation>Retries (0-9)</translation>
    </message>
    <message>
        <source>送信回数</source>
        <translation>Retries</translation>
    </message>
    <message>
        <source>回</source>
        <translation>x</translation>
    </message>
    <message>
        <source>送信回数 読込値</source>
        <translation>Retries read</translation>
    </message>
    <message>
        <source>機器情報</source>
        <translation>Device info</translation>
    </message>
    <message>
        <source>半角英数字：8文字</source>
        <translation>8 letters or digits</translation>
    </message>
    <message>
        <source>機器情報 読込値</source>
        <translation>Device info read</translation>
    </message>
    <message>
        <source>RS232C属性</source>
        <translation>RS232C</translation>
    </message>
    <message>
        <source>転送速度</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>bps</source>
        <translation>bps</translation>
    </message>
    <message>
        <source>転送速度 読込値</source>
        <translation>Rate read</translation>
    </message>
    <message>
        <source>データビット</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source> 8               Bits</source>
        <translation> 8               Bits</translation>
    </message>
    <message>
        <source>データビット 8</source>
        <translation>Data bits 8</translation>
    </message>
    <message>
        <source>データビット 読込値</source>
        <translation>Data bits read</translation>
    </message>
    <message>
        <source>パリティ</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>パリティ 読込値</source>
        <translation>Parity read</translation>
    </message>
    <message>
        <source>ストップビット</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>Bits</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>ストップビット 読込値</source>
        <translation>Stop bits read</translation>
    </message>
    <message>
        <source>フロー制御</source>
        <translation>Flow control</translation>
    </message>
    <message>
        <source>H/w</source>
        <translation>H/w</translation>
    </message>
    <message>
        <source>フロー制御 読込値</source>
        <translation>Flow control read</translation>
    </message>
    <message>
        <source>RS232C設定</source>
        <translation>RS232C settings</translation>
    </message>
    <message>
        <source>ハードウェア [RTS/CTS]</source>
        <translation>Hardware [RTS/CTS]</translation>
    </message>
    <message>
        <source>開発用</source>
        <translation>Development</translation>
    </message>
    <message>
        <source>TEST モード</source>
        <translation>TEST mode</translation>
    </message>
    <message>
        <source>@TEST  モードへの移行</source>
        <translation>@TEST  test mode</translation>
    </message>
    <message>
        <source>@CMND  モードへ移行</source>
        <translation>@CMND  command mode</translation>
    </message>
    <message>
        <source>@SEND  送信</source>
        <translation>@SEND  send</translation>
    </message>
    <message>
        <source>@RECV  受信</source>
        <translation>@RECV  receive</translation>
    </message>
    <message>
        <source>@STBY  送受信停止</source>
        <translation>@STBY  stop</translation>
    </message>
    <message>
        <source>Ch：</source>
        <translation>Ch:</translation>
    </message>
    <message>
        <source>Modulation：</source>
        <translation>Modulation:</translation>
    </message>
    <message>
        <source>Modulation</source>
        <translation>Modulation</translation>
    </message>
    <message>
        <source>無変調</source>
        <translation>Unmodulated</translation>
    </message>
    <message>
        <source>データパターン</source>
        <translation>Data pattern</translation>
    </message>
    <message>
        <source>PN9段</source>
        <translation>PN9</translation>
    </message>
    <message>
        <source>@DBUG  デバッグモード切替</source>
        <translation>@DBUG  debug mode</translation>
    </message>
    <message>
        <source>@DIF1  デバッグ情報 １表示</source>
        <translation>@DIF1  debug info 1</translation>
    </message>
    <message>
        <source>@DIF2  デバッグ情報 2表示</source>
        <translation>@DIF2  debug info 2</translation>
    </message>
    <message>
        <source>間欠送信</source>
        <translation>Interval send</translation>
    </message>
    <message>
        <source>送信間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>47</source>
        <translation>47</translation>
    </message>
    <message>
        <source>48</source>
        <translation>48</translation>
    </message>
    <message>
        <source>49</source>
        <translation>49</translation>
    </message>
    <message>
        <source>50</source>
        <translation>50</translation>
    </message>
    <message>
        <source>51</source>
        <translation>51</translation>
    </message>
    <message>
        <source>52</source>
        <translation>52</translation>
    </message>
    <message>
        <source>53</source>
        <translation>53</translation>
    </message>
    <message>
        <source>54</source>
        <translation>54</translation>
    </message>
    <message>
        <source>55</source>
        <translation>55</translation>
    </message>
    <message>
        <source>56</source>
        <translation>56</translation>
    </message>
    <message>
        <source>57</source>
        <translation>57</translation>
    </message>
    <message>
        <source>58</source>
        <translation>58</translation>
    </message>
    <message>
        <source>59</source>
        <translation>59</translation>
    </message>
    <message>
        <source>60</source>
        <translation>60</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>$SEND:</source>
        <translation>$SEND:</translation>
    </message>
    <message>
        <source>間欠送信の内容</source>
        <translation>Text to send</translation>
    </message>
    <message>
        <source>スタート</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>間欠送信 スタート</source>
        <translation>Interval send Start</translation>
    </message>
    <message>
        <source>書き込み欄</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>初期値にする</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>書き込み欄を初期値にします。</source>
        <translation>The write fields are reset to their defaults.</translation>
    </message>
    <message>
        <source>値書込</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>選択された値を書き込みます。</source>
        <translation>Writes the ticked values.</translation>
    </message>
    <message>
        <source>読込欄</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>値読込</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>現在の設定値を読み込みます。</source>
        <translation>Reads the current settings.</translation>
    </message>
    <message>
        <source>通信内容を表示します。</source>
        <translation>Shows what is sent and received.</translation>
    </message>
    <message>
        <source>受信モニタ</source>
        <translation>Receive monitor</translation>
    </message>
    <message>
        <source>送信文字</source>
        <translation>To send</translation>
    </message>
    <message>
        <source>送信する文字を入力してください。</source>
        <translation>Type the text to send.</translation>
    </message>
    <message>
        <source>送信</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>CR+LFを付加</source>
        <translation>Add CR+LF</translation>
    </message>
    <message>
        <source>文字列に改行を付加して送信します。</source>
        <translation>Sends the text with a line end.</translation>
    </message>
    <message>
        <source>メニュー</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>機能(&amp;Z)</source>
        <translation>Functio&amp;ns</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ログの記録(&amp;L)...</source>
        <translation>&amp;Log...</translation>
    </message>
    <message>
        <source>設定値の保存(&amp;S)...</source>
        <translation>&amp;Save settings...</translation>
    </message>
    <message>
        <source>設定値の読込(&amp;O)...</source>
        <translation>&amp;Open settings...</translation>
    </message>
    <message>
        <source>読込値を設定値にする</source>
        <translation>Copy read values to write</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>エアーモニタ(&amp;M)</source>
        <translation>Air &amp;monitor</translation>
    </message>
    <message>
        <source>アンサーバック(&amp;B)</source>
        <translation>Answer-&amp;back</translation>
    </message>
    <message>
        <source>パケット送受信(&amp;P)</source>
        <translation>&amp;Packets</translation>
    </message>
    <message>
        <source>ポートを開く(&amp;O)</source>
        <translation>&amp;Open port</translation>
    </message>
    <message>
        <source>通信のﾌﾟﾛﾊﾟﾃｨ(&amp;R)...</source>
        <translation>Po&amp;rt settings...</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>QW57 セットアップ プログラム</source>
        <translation>QW57 Setup</translation>
    </message>
</context>
<context>
    <name>TPacketForm</name>
    <message>
        <source>パケット送受信</source>
        <translation>Packets</translation>
    </message>
    <message>
        <source>受信</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source>ルート</source>
        <translation>Route</translation>
    </message>
    <message>
        <source>受信ルート</source>
        <translation>Received route</translation>
    </message>
    <message>
        <source>送信元局</source>
        <translation>Sender</translation>
    </message>
    <message>
        <source>受信 送信元局</source>
        <translation>Received sender</translation>
    </message>
    <message>
        <source>→</source>
        <translation>→</translation>
    </message>
    <message>
        <source>矢印</source>
        <translation>Arrow</translation>
    </message>
    <message>
        <source>中継局1</source>
        <translation>Relay 1</translation>
    </message>
    <message>
        <source>受信 中継局1</source>
        <translation>Received relay 1</translation>
    </message>
    <message>
        <source>中継局2</source>
        <translation>Relay 2</translation>
    </message>
    <message>
        <source>受信 中継局2</source>
        <translation>Received relay 2</translation>
    </message>
    <message>
        <source>中継局3</source>
        <translation>Relay 3</translation>
    </message>
    <message>
        <source>受信 中継局3</source>
        <translation>Received relay 3</translation>
    </message>
    <message>
        <source>中継局4</source>
        <translation>Relay 4</translation>
    </message>
    <message>
        <source>受信 中継局4</source>
        <translation>Received relay 4</translation>
    </message>
    <message>
        <source>中継局5</source>
        <translation>Relay 5</translation>
    </message>
    <message>
        <source>受信 中継局5</source>
        <translation>Received relay 5</translation>
    </message>
    <message>
        <source>自局</source>
        <translation>Local</translation>
    </message>
    <message>
        <source>受信 自局</source>
        <translation>Received local</translation>
    </message>
    <message>
        <source>受信ユーザー電文：</source>
        <translation>Received message:</translation>
    </message>
    <message>
        <source>受信ユーザー電文</source>
        <translation>Received message</translation>
    </message>
    <message>
        <source>受信ユーザー電文 クリア</source>
        <translation>Clear received message</translation>
    </message>
    <message>
        <source>受信ユーザー電文の内容を消去します</source>
        <translation>Clears the received message</translation>
    </message>
    <message>
        <source>送信</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>送信ルート</source>
        <translation>Send route</translation>
    </message>
    <message>
        <source>送信 自局</source>
        <translation>Send local</translation>
    </message>
    <message>
        <source>送信 中継局1</source>
        <translation>Send relay 1</translation>
    </message>
    <message>
        <source>送信 中継局2</source>
        <translation>Send relay 2</translation>
    </message>
    <message>
        <source>送信 中継局3</source>
        <translation>Send relay 3</translation>
    </message>
    <message>
        <source>送信 中継局4</source>
        <translation>Send relay 4</translation>
    </message>
    <message>
        <source>送信 中継局5</source>
        <translation>Send relay 5</translation>
    </message>
    <message>
        <source>目的局</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>送信 目的局</source>
        <translation>Send target</translation>
    </message>
    <message>
        <source>ルートの選択：チェック無効でEEPROMのルート設定を使用</source>
        <translation>Route: unticked uses the route in EEPROM</translation>
    </message>
    <message>
        <source>送信ユーザー電文：</source>
        <translation>Message to send:</translation>
    </message>
    <message>
        <source>0 文字 / 残 256</source>
        <translation>0 chars / 256 left</translation>
    </message>
    <message>
        <source>文字数</source>
        <translation>Characters</translation>
    </message>
    <message>
        <source>送信ユーザー電文</source>
        <translation>Message to send</translation>
    </message>
    <message>
        <source>256文字までの電文を入力します。</source>
        <translation>Type a message of up to 256 characters.</translation>
    </message>
    <message>
        <source>Enterキー で送信</source>
        <translation>Enter sends</translation>
    </message>
    <message>
        <source>Enterキー の動作 チェック有効で送信，無効で改行コード</source>
        <translation>Enter key: ticked sends, unticked adds a line end</translation>
    </message>
    <message>
        <source>送信ユーザー電文 クリア</source>
        <translation>Clear message to send</translation>
    </message>
    <message>
        <source>送信ユーザー電文の内容を消去します</source>
        <translation>Clears the message to send</translation>
    </message>
    <message>
        <source>パケット送信</source>
        <translation>Send packet</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>%1 文字 / 残 %2</source>
        <translation>%1 chars / %2 left</translation>
    </message>
</context>
<context>
    <name>TRangeForm</name>
    <message>
        <source>レンジテスト</source>
        <translation>Range test</translation>
    </message>
    <message>
        <source>間隔（秒）：</source>
        <translation>Interval (s):</translation>
    </message>
    <message>
        <source>間隔（秒）</source>
        <translation>Interval (s)</translation>
    </message>
    <message>
        <source>回数：</source>
        <translation>Rounds:</translation>
    </message>
    <message>
        <source>回数</source>
        <translation>Rounds</translation>
    </message>
    <message>
        <source>0 は停止するまで繰り返します</source>
        <translation>0 repeats until stopped</translation>
    </message>
    <message>
        <source>停止まで</source>
        <translation>Until stopped</translation>
    </message>
    <message>
        <source>開始(&amp;S)</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>開始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止(&amp;T)</source>
        <translation>S&amp;top</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>最新</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>応答／送信</source>
        <translation>Replies / polls</translation>
    </message>
    <message>
        <source>経過時間：0:00:00</source>
        <translation>Elapsed: 0:00:00</translation>
    </message>
    <message>
        <source>ラウンド：0</source>
        <translation>Round: 0</translation>
    </message>
    <message>
        <source>CSV保存...</source>
        <translation>Save CSV...</translation>
    </message>
    <message>
        <source>CSV保存</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>レンジテストの全結果をCSVファイルに保存します</source>
        <translation>Saves every result of the range test to a CSV file</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>経過時間：%1:%2:%3</source>
        <translation>Elapsed: %1:%2:%3</translation>
    </message>
    <message>
        <source>ラウンド：%1 / %2</source>
        <translation>Round: %1 / %2</translation>
    </message>
    <message>
        <source>ラウンド：%1</source>
        <translation>Round: %1</translation>
    </message>
    <message>
        <source>応答なし</source>
        <translation>No reply</translation>
    </message>
</context>
<context>
    <name>TSettingsForm</name>
    <message>
        <source>通信ポートのプロパティ</source>
        <translation>Port settings</translation>
    </message>
    <message>
        <source>接続設定</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>ポート</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>* が付いているポートは使用できません。</source>
        <translation>Ports marked * cannot be used.</translation>
    </message>
    <message>
        <source>通信速度</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>38400</source>
        <translation>38400</translation>
    </message>
    <message>
        <source>データビット</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>パリティ</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>ストップビット</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>フロー制御</source>
        <translation>Flow control</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>RTS/CTS</source>
        <translation>RTS/CTS</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>Xon/Xoff</source>
        <translation>Xon/Xoff</translation>
    </message>
    <message>
        <source>内蔵シミュレータ</source>
        <translation>Built-in simulator</translation>
    </message>
</context>
<context>
    <name>kd36::RecordsMenu</name>
    <message>
        <source>ログの記録</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>ログ (*.log);;すべてのファイル (*)</source>
        <translation>Log (*.log);;All files (*)</translation>
    </message>
    <message>
        <source>設定値の保存</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>設定値 (*.ini);;すべてのファイル (*)</source>
        <translation>Settings (*.ini);;All files (*)</translation>
    </message>
    <message>
        <source>設定値の読込</source>
        <translation>Open settings</translation>
    </message>
    <message>
        <source>ログファイルを開けません。</source>
        <translation>The log file cannot be opened.</translation>
    </message>
    <message>
        <source>ログの記録を停止しました。ログファイルに書き込めません。</source>
        <translation>Logging stopped: the log file cannot be written.</translation>
    </message>
    <message>
        <source>設定値を保存できません。</source>
        <translation>The settings cannot be saved.</translation>
    </message>
    <message>
        <source>設定値を読み込めません。</source>
        <translation>The settings cannot be read.</translation>
    </message>
    <message>
        <source>書込みのチェックを外した項目:</source>
        <translation>Items unticked for writing:</translation>
    </message>
    <message>
        <source>次の項目は読み込みませんでした。</source>
        <translation>These items were not read.</translation>
    </message>
    <message>
        <source>次の読込値は設定値にできませんでした。</source>
        <translation>These read values could not be copied.</translation>
    </message>
</context>
<context>
    <name>kd36::SessionLogWriter</name>
    <message>
        <source>COM%1 を開けません</source>
        <translation>COM%1 cannot be opened</translation>
    </message>
</context>
<context>
    <name>kd36::TMainForm</name>
    <message>
        <source>DSR オン</source>
        <translation>DSR on</translation>
    </message>
    <message>
        <source>DSR オフ</source>
        <translation>DSR off</translation>
    </message>
    <message>
        <source>CTS オン</source>
        <translation>CTS on</translation>
    </message>
    <message>
        <source>CTS オフ</source>
        <translation>CTS off</translation>
    </message>
    <message>
        <source>ポート 開</source>
        <translation>Port open</translation>
    </message>
    <message>
        <source>ポート 閉</source>
        <translation>Port closed</translation>
    </message>
    <message>
        <source>テンプレート</source>
        <translation>Template</translation>
    </message>
    <message>
        <source>動作モード</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>通信ポート</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>表示形式</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>著作権表示</source>
        <translation>Copyright</translation>
    </message>
    <message>
        <source>不明なエラーが発生しました。</source>
        <translation>An unknown error occurred.</translation>
    </message>
    <message>
        <source>自動再接続</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>抜けたポートが戻ったら開き直します。</source>
        <translation>Opens a lost port again when it comes back.</translation>
    </message>
    <message>
        <source>設定ファイルを読み取れないため、このファイルは変更しません。</source>
        <translation>The settings file cannot be read, so it is left unchanged.</translation>
    </message>
    <message>
        <source>設定ファイルを保存できませんでした。</source>
        <translation>The settings file could not be saved.</translation>
    </message>
    <message>
        <source>送信可能    ［CTS信号］</source>
        <translation>Can send  [CTS]</translation>
    </message>
    <message>
        <source>送信不可    ［CTS信号］</source>
        <translation>Cannot send  [CTS]</translation>
    </message>
    <message>
        <source>コマンドモード</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>オンラインモード</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>コード</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>テキスト</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>実際の設定: %1</source>
        <translation>Actual: %1</translation>
    </message>
    <message>
        <source>通信ポート OFF</source>
        <translation>Port OFF</translation>
    </message>
    <message>
        <source>通信ポート ON </source>
        <translation>Port ON </translation>
    </message>
    <message>
        <source>ストップ</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>スタート</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>表示言語は次回の起動から変わります。</source>
        <translation>The language changes at the next start.</translation>
    </message>
    <message>
        <source>%1 (%2回目)</source>
        <translation>%1 (#%2)</translation>
    </message>
    <message>
        <source>ポートを再接続しました: COM%1</source>
        <translation>Port reconnected: COM%1</translation>
    </message>
</context>
<context>
    <name>kd36::TSettingsForm</name>
    <message>
        <source>* が付いているポートは使用できません。</source>
        <translation>Ports marked * cannot be used.</translation>
    </message>
</context>
<context>
    <name>kd36::spectrum::SpectrumPlot</name>
    <message>
        <source>Waiting for the first sweep...</source>
        <translation>Waiting for the first sweep...</translation>
    </message>
    <message>
        <source>Press Start to measure</source>
        <translation>Press Start to measure</translation>
    </message>
    <message>
        <source>Ch %1   %2 mV   peak %3 mV</source>
        <translation>Ch %1   %2 mV   peak %3 mV</translation>
    </message>
</context>
<context>
    <name>kd36::spectrum::SpectrumWindow</name>
    <message>
        <source>Peak hold</source>
        <translation>Peak hold</translation>
    </message>
    <message>
        <source>Clear peaks</source>
        <translation>Clear peaks</translation>
    </message>
    <message>
        <source>CSV保存...</source>
        <translation>Save CSV...</translation>
    </message>
    <message>
        <source>Start からの全スイープをCSVファイルに保存します</source>
        <translation>Saves every sweep since Start to a CSV file</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>● Measuring</source>
        <translation>● Measuring</translation>
    </message>
    <message>
        <source>○ Stopped</source>
        <translation>○ Stopped</translation>
    </message>
    <message>
        <source>CSV保存</source>
        <translation>Save CSV</translation>
    </message>
    <message>
        <source>CSV (*.csv);;すべてのファイル (*)</source>
        <translation>CSV (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>CSVファイルを保存できません。</source>
        <translation>The CSV file cannot be saved.</translation>
    </message>
    <message>
        <source>Sweeps: %1</source>
        <translation>Sweeps: %1</translation>
    </message>
    <message>
        <source>     Strongest: ch %1 at %2 mV</source>
        <translation>     Strongest: ch %1 at %2 mV</translation>
    </message>
    <message>
        <source>     Peak hold: %1 sweeps, then %2 mV/s     Refresh: %3 ms</source>
        <translation>     Peak hold: %1 sweeps, then %2 mV/s     Refresh: %3 ms</translation>
    </message>
</context>
</TS>
