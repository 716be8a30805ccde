// The help pages the control panel's Help button opens, beside the program in Html.

#include "Content.h"

static const char *_english = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Kestrel 3D Benchmark - Help</title>
<style>
body { font-family: sans-serif; max-width: 52em; margin: 2em auto; line-height: 1.5; color: #202830; }
h1 { color: #1c3270; } h2 { border-bottom: 2px solid #e8b040; }
table { border-collapse: collapse; } td, th { border: 1px solid #b0b8c8; padding: 0.2em 0.6em; text-align: left; }
code { background: #eef0f4; padding: 0 0.2em; }
</style>
</head>
<body>
<h1>Kestrel 3D Benchmark</h1>
<p>Kestrel measures how fast this computer draws real-time 3D scenes of the kind games show:
many textured polygons, lights, transparency, particles and full-screen 2D work. It plays ten
short tests, counts the frames each one manages, and turns that into a score you can compare with
the reference system and with other machines. Besides the benchmark there is a demo that plays
all the scenes with music.</p>

<h2>The tests</h2>
<table>
<tr><th>#</th><th>Test</th><th>Screen</th><th>What it shows and loads</th></tr>
<tr><td>1</td><td>Game1 (Low)</td><td>640 x 480, 16 bit</td><td>Two swordsmen duel in a temple court while thousands of feathers drift around them; about 24,600 polygons and 6.2 MB of textures.</td></tr>
<tr><td>2</td><td>Game1 (High)</td><td>1280 x 1024, 16 bit</td><td>The same scene at high resolution.</td></tr>
<tr><td>3</td><td>Game2 (Low)</td><td>640 x 480, 16 bit</td><td>A battle in a lantern-lit hall: lightning, glowing points, motion trails; about 17,800 polygons, 5.8 MB.</td></tr>
<tr><td>4</td><td>Game2 (High)</td><td>1280 x 1024, 16 bit</td><td>The same at high resolution.</td></tr>
<tr><td>5</td><td>Game3 (Low)</td><td>640 x 480, 16 bit</td><td>A fleet battle in space with star field, galaxy and lightning between cruisers; about 8,100 polygons, 6.2 MB.</td></tr>
<tr><td>6</td><td>Game3 (High)</td><td>1280 x 1024, 16 bit</td><td>The same at high resolution.</td></tr>
<tr><td>7</td><td>The Surface</td><td>640 x 480, 32 bit</td><td>A garden pool: a rippling water surface that refracts the pool floor and reflects the sky; about 10,800 polygons, 2.1 MB.</td></tr>
<tr><td>8</td><td>2D Graphics</td><td>640 x 480, 16 bit</td><td>128 lenses move over a picture; every pixel is computed by the processor and copied to the screen.</td></tr>
<tr><td>9</td><td>Space Fighter</td><td>640 x 480, 16 bit</td><td>A fighter squadron through an asteroid field; the heaviest test, about 55,000 polygons, 4.3 MB.</td></tr>
<tr><td>10</td><td>Your Fighter</td><td>640 x 480, 16 bit</td><td>The same flight with one ship, which you may replace with your own LightWave object (.lwo).</td></tr>
</table>
<p>After the tenth test a short closing scene plays without a score.</p>

<h2>Options</h2>
<ul>
<li><b>Test selection</b>: untick a test to leave it out. A test that did not run shows an empty bar and no score, and the overall score needs all ten.</li>
<li><b>Your Fighter object</b>: choose a LightWave object with one layer and at most 10,000 points and triangles. It takes the place of the ship in test 10, scaled to its size.</li>
<li><b>Continuous Loop</b>: runs the selected tests again and again until you press Esc.</li>
<li><b>Challenge Mode</b>: waits for a click after each result screen, so you can read it.</li>
<li><b>BGM Enable</b>: plays music during the benchmark (off by default, so that sound does not cost time).</li>
<li><b>Auto Demo</b>: starts the demo by itself when the panel is left idle.</li>
<li><b>Hardware</b>: the display adapter and the 3D device. Kestrel picks the best available; a machine below the full requirements runs the Light edition, with smaller textures and seven tests.</li>
</ul>

<h2>How scores are computed</h2>
<p>Each test plays its scene for a fixed number of frames at a nominal 30 frames a second. Kestrel
measures the average frames per second actually drawn; the test's score is 32 times that average,
rounded down. A test at the reference frame rate of 30 fps therefore scores about 960.</p>
<p>The overall score is the mean of the ten test scores. The results page lists each test with its
frames per second, polygons, textures and screen mode, and draws a bar for your system beside the
bar of the reference system. Bars longer than the reference mean this computer is faster in that test.</p>
<p>Scores depend on the processor, the graphics card and its driver, the screen mode and
background programs. Close other programs and keep the machine idle for comparable results.</p>

<h2>Running it unattended</h2>
<p>The command-line runner <code>KestrelRun.exe</code>, beside <code>Kestrel.exe</code>, starts a
benchmark run without the control panel, waits for it to finish and writes the results to a text
file, so a script can run Kestrel on many machines and collect the scores. Run
<code>KestrelRun.exe</code> without arguments to see its options (which tests to run, how often,
and where to write the results). It returns a non-zero exit code when a run fails, for instance
when the display mode a test needs is not available.</p>

<h2>Files</h2>
<p>All scenes, pictures and sounds are in the <code>Data</code> folder beside the program; do not
move them. The results of the last run are kept and shown again when the panel opens.</p>
</body>
</html>
)";

static const char *_japanese = R"(<!DOCTYPE html>
<html lang="ja">
<head>
<meta charset="utf-8">
<title>Kestrel 3D ベンチマーク - ヘルプ</title>
<style>
body { font-family: sans-serif; max-width: 52em; margin: 2em auto; line-height: 1.6; color: #202830; }
h1 { color: #1c3270; } h2 { border-bottom: 2px solid #e8b040; }
table { border-collapse: collapse; } td, th { border: 1px solid #b0b8c8; padding: 0.2em 0.6em; text-align: left; }
code { background: #eef0f4; padding: 0 0.2em; }
</style>
</head>
<body>
<h1>Kestrel 3D ベンチマーク</h1>
<p>Kestrel は、このコンピュータがゲームのようなリアルタイム 3D シーンをどれだけ速く描画できるかを測定します。
多数のテクスチャ付きポリゴン、ライト、半透明、パーティクル、全画面の 2D 処理を含む 10 本の短いテストを再生し、
それぞれの描画フレーム数からスコアを求めます。スコアは基準システムや他のマシンと比較できます。
ベンチマークのほかに、全シーンを音楽付きで再生するデモもあります。</p>

<h2>テスト</h2>
<table>
<tr><th>#</th><th>テスト</th><th>画面</th><th>内容</th></tr>
<tr><td>1</td><td>Game1 (Low)</td><td>640 x 480 16 ビット</td><td>舞い散る羽根の中、寺の中庭で二人の剣士が戦います。約 24,600 ポリゴン、テクスチャ 6.2 MB。</td></tr>
<tr><td>2</td><td>Game1 (High)</td><td>1280 x 1024 16 ビット</td><td>同じシーンを高解像度で。</td></tr>
<tr><td>3</td><td>Game2 (Low)</td><td>640 x 480 16 ビット</td><td>灯籠の灯る広間での戦い。稲妻、光の粒、残像。約 17,800 ポリゴン、5.8 MB。</td></tr>
<tr><td>4</td><td>Game2 (High)</td><td>1280 x 1024 16 ビット</td><td>同じシーンを高解像度で。</td></tr>
<tr><td>5</td><td>Game3 (Low)</td><td>640 x 480 16 ビット</td><td>星空と銀河を背景にした艦隊戦。巡洋艦の間を稲妻が走ります。約 8,100 ポリゴン、6.2 MB。</td></tr>
<tr><td>6</td><td>Game3 (High)</td><td>1280 x 1024 16 ビット</td><td>同じシーンを高解像度で。</td></tr>
<tr><td>7</td><td>The Surface</td><td>640 x 480 32 ビット</td><td>庭の池。揺れる水面が池の底を屈折させ、空を映します。約 10,800 ポリゴン、2.1 MB。</td></tr>
<tr><td>8</td><td>2D Graphics</td><td>640 x 480 16 ビット</td><td>128 個のレンズが絵の上を動きます。全ピクセルを CPU で計算して画面に転送します。</td></tr>
<tr><td>9</td><td>Space Fighter</td><td>640 x 480 16 ビット</td><td>小惑星帯を飛ぶ戦闘機の編隊。最も重いテストで、約 55,000 ポリゴン、4.3 MB。</td></tr>
<tr><td>10</td><td>Your Fighter</td><td>640 x 480 16 ビット</td><td>同じ飛行を 1 機で。その機体を自分の LightWave オブジェクト (.lwo) に置き換えられます。</td></tr>
</table>
<p>10 本目のあと、スコアのない短いエンディングシーンが流れます。</p>

<h2>オプション</h2>
<ul>
<li><b>テストの選択</b>: チェックを外したテストは実行しません。実行しなかったテストは空のバーでスコアもなく、総合スコアには 10 本すべてが必要です。</li>
<li><b>Your Fighter のオブジェクト</b>: レイヤーが 1 つで、ポイントと三角形が合わせて 10,000 以下の LightWave オブジェクトを選びます。テスト 10 の機体と入れ替わり、その大きさに合わせて拡大縮小されます。</li>
<li><b>連続ループ</b>: Esc キーを押すまで、選んだテストを繰り返します。</li>
<li><b>チャレンジモード</b>: 結果画面ごとにクリックを待ちます。</li>
<li><b>BGM 有効</b>: ベンチマーク中に音楽を流します (既定ではオフ。音の処理で結果が変わらないように)。</li>
<li><b>自動デモ</b>: パネルを放置すると、デモが自動的に始まります。</li>
<li><b>ハードウェア</b>: ディスプレイアダプタと 3D デバイス。最適なものが選ばれます。条件を満たさないマシンでは、小さなテクスチャと 7 本のテストの Light 版が動きます。</li>
</ul>

<h2>スコアの計算</h2>
<p>各テストは、公称毎秒 30 フレームで決まったフレーム数のシーンを再生します。実際に描画できた平均フレームレートを測り、
その 32 倍 (小数点以下切り捨て) がテストのスコアになります。基準の 30 fps で描画できれば約 960 点です。</p>
<p>総合スコアは 10 本のスコアの平均です。結果ページには各テストのフレームレート、ポリゴン数、テクスチャ量、画面モードが並び、
あなたのシステムのバーが基準システムのバーの隣に表示されます。基準より長いバーは、そのテストで基準より速いことを示します。</p>
<p>スコアは CPU、グラフィックカードとそのドライバ、画面モード、常駐プログラムに左右されます。比較するときは他のプログラムを閉じてください。</p>

<h2>無人で実行する</h2>
<p><code>Kestrel.exe</code> と同じフォルダのコマンドライン実行プログラム <code>KestrelRun.exe</code> は、
コントロールパネルを使わずにベンチマークを開始し、終了を待って結果をテキストファイルに書き出します。
スクリプトから多数のマシンで Kestrel を実行し、スコアを集めることができます。
引数なしで <code>KestrelRun.exe</code> を実行すると、オプション (実行するテスト、回数、結果の書き出し先) が表示されます。
実行に失敗したとき (たとえばテストに必要な画面モードが使えないとき) は 0 以外の終了コードを返します。</p>

<h2>ファイル</h2>
<p>シーン、画像、音はすべてプログラムと同じ場所の <code>Data</code> フォルダにあります。移動しないでください。
最後に実行した結果は保存され、パネルを開くと再び表示されます。</p>
</body>
</html>
)";

bool ctWriteHelp(ctOutput *aOutP)
{
    auto bytes = [](const char *aText) { return kbBytes(aText, aText + std::char_traits<char>::length(aText)); };
    return aOutP->Write("Html/help.html", bytes(_english)) && aOutP->Write("Html/help_j.html", bytes(_japanese));
}
