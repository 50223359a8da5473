<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
<context>
    <name>frmMain</name>
    <message>
        <source>Input directories to find duplicates:</source>
        <comment>Label2</comment>
        <translation>輸入要搜尋的目錄:</translation>
    </message>
    <message>
        <source>Add Directory</source>
        <comment>btnAddDir</comment>
        <translation>加入新的目錄</translation>
    </message>
    <message>
        <source>Delete Directory</source>
        <comment>btnSubDir</comment>
        <translation>取消您所選擇的目錄</translation>
    </message>
    <message>
        <source>Delete All Directories</source>
        <comment>btnClearDir</comment>
        <translation>取消所有目錄</translation>
    </message>
    <message>
        <source>Input a directory</source>
        <comment>Edit1</comment>
        <translation>輸入要搜尋的目錄</translation>
    </message>
    <message>
        <source>Directories list</source>
        <comment>lstDir</comment>
        <translation>您可以一次檢查多個目錄</translation>
    </message>
    <message>
        <source>Add</source>
        <comment>miAddItem</comment>
        <translation>新增</translation>
    </message>
    <message>
        <source>Delete</source>
        <comment>miDelItems</comment>
        <translation>刪除</translation>
    </message>
    <message>
        <source>Delete All</source>
        <comment>miDelAllItems</comment>
        <translation>刪除全部</translation>
    </message>
    <message>
        <source>About</source>
        <comment>Label4</comment>
        <translation>阿寶特</translation>
    </message>
    <message>
        <source>Version: 0.51</source>
        <comment>lblVersion</comment>
        <translation>版本: 0.51</translation>
    </message>
    <message>
        <source>Date: 4/23/1998</source>
        <comment>lblDate</comment>
        <translation>日期: 4/23/1998</translation>
    </message>
    <message>
        <source>Connect to my web page</source>
        <comment>Image1</comment>
        <translation>連到我的網頁</translation>
    </message>
    <message>
        <source>Find Duplicates</source>
        <comment>btnFindDuplicates</comment>
        <translation>找出重複</translation>
    </message>
    <message>
        <source>Find the duplicates in the directories</source>
        <comment>btnFindDuplicates</comment>
        <translation>開始搜尋重複的檔案</translation>
    </message>
    <message>
        <source>List All</source>
        <comment>btnFindAll</comment>
        <translation>列出所有</translation>
    </message>
    <message>
        <source>List all files in the directories</source>
        <comment>btnFindAll</comment>
        <translation>列出所有檔案</translation>
    </message>
    <message>
        <source>Options</source>
        <comment>tbsOptions</comment>
        <translation>選項</translation>
    </message>
    <message>
        <source>Name</source>
        <comment>ckName</comment>
        <translation>檔名</translation>
    </message>
    <message>
        <source>Compare names</source>
        <comment>ckName</comment>
        <translation>搜尋名稱重複的檔案</translation>
    </message>
    <message>
        <source>Size</source>
        <comment>ckSize</comment>
        <translation>大小</translation>
    </message>
    <message>
        <source>Compare size</source>
        <comment>ckSize</comment>
        <translation>搜尋相同大小的檔案</translation>
    </message>
    <message>
        <source>CC</source>
        <comment>ckCC</comment>
        <translation>內容</translation>
    </message>
    <message>
        <source>Compare contents(Slower)</source>
        <comment>ckCC</comment>
        <translation>比對檔案內容(較慢)</translation>
    </message>
    <message>
        <source>All bytes</source>
        <comment>ckAllBytes</comment>
        <translation>全部位元組</translation>
    </message>
    <message>
        <source>Compare whole contents</source>
        <comment>ckAllBytes</comment>
        <translation>比對檔案的全部內容</translation>
    </message>
    <message>
        <source>Time</source>
        <comment>ckTime</comment>
        <translation>時間</translation>
    </message>
    <message>
        <source>Compare time</source>
        <comment>ckTime</comment>
        <translation>搜尋相同時間的檔案</translation>
    </message>
    <message>
        <source>Include Subdirectories</source>
        <comment>ckInclude</comment>
        <translation>包含子目錄</translation>
    </message>
    <message>
        <source>Include subdirectories in the search</source>
        <comment>ckInclude</comment>
        <translation>搜尋時是否包含子目錄</translation>
    </message>
    <message>
        <source>Preview</source>
        <comment>ckPreview</comment>
        <translation>預覽</translation>
    </message>
    <message>
        <source>Preview pictures</source>
        <comment>ckPreview</comment>
        <translation>是否預覽圖片</translation>
    </message>
    <message>
        <source>Show Slides</source>
        <comment>ckShowSlides</comment>
        <translation>顯示幻燈片</translation>
    </message>
    <message>
        <source>Show the slides below</source>
        <comment>ckShowSlides</comment>
        <translation>是否顯示下面的幻燈片</translation>
    </message>
    <message>
        <source>Double click to action</source>
        <comment>raDblClick</comment>
        <translation>雙擊滑鼠開始動作</translation>
    </message>
    <message>
        <source>Double click to preview or show the slides</source>
        <comment>raDblClick</comment>
        <translation>點兩下滑鼠預覽圖片或顯示幻燈片</translation>
    </message>
    <message>
        <source>Single click to action</source>
        <comment>raClick</comment>
        <translation>單擊滑鼠開始動作</translation>
    </message>
    <message>
        <source>Single click to preview or show the slides</source>
        <comment>raClick</comment>
        <translation>點一下滑鼠預覽圖片或顯示幻燈片</translation>
    </message>
    <message>
        <source>Delay time:                    mSeconds</source>
        <comment>Label5</comment>
        <translation>動作前先等                 /1000 秒</translation>
    </message>
    <message>
        <source>Delay ?? milliseconds</source>
        <comment>Label5</comment>
        <translation>先等千分之 ?? 秒再載入圖片內容</translation>
    </message>
    <message>
        <source>Delay ?? milliseconds</source>
        <comment>edTime</comment>
        <translation>先等千分之 ?? 秒再載入圖片內容</translation>
    </message>
    <message>
        <source>More Options</source>
        <comment>tbsMore</comment>
        <translation>更多選項</translation>
    </message>
    <message>
        <source>No confirmation</source>
        <comment>ckNoConfirm</comment>
        <translation>不必確認</translation>
    </message>
    <message>
        <source>File deletion</source>
        <comment>ckNoConfirm</comment>
        <translation>刪除檔案時不必確認</translation>
    </message>
    <message>
        <source>Don't use recycle bin</source>
        <comment>ckNoRecycle</comment>
        <translation>不必丟資源回收筒</translation>
    </message>
    <message>
        <source>File deletion</source>
        <comment>ckNoRecycle</comment>
        <translation>真正刪除,不必丟到資源回收筒</translation>
    </message>
    <message>
        <source>Save options</source>
        <comment>btnSaveOptions</comment>
        <translation>儲存設定</translation>
    </message>
    <message>
        <source>Save the settings</source>
        <comment>btnSaveOptions</comment>
        <translation>儲存設定值</translation>
    </message>
    <message>
        <source>Double click to view in full size</source>
        <comment>Image</comment>
        <translation>雙擊滑鼠可看原圖</translation>
    </message>
    <message>
        <source>Image Scale</source>
        <comment>rbFullSize</comment>
        <translation>選擇縮圖比例, 比例越小速度越快</translation>
    </message>
    <message>
        <source>Image Scale</source>
        <comment>rbHalf</comment>
        <translation>選擇縮圖比例, 比例越小速度越快</translation>
    </message>
    <message>
        <source>Image Scale</source>
        <comment>rbQuarter</comment>
        <translation>選擇縮圖比例, 比例越小速度越快</translation>
    </message>
    <message>
        <source>1/8(Faster)</source>
        <comment>rbEighth</comment>
        <translation>1/8(最快)</translation>
    </message>
    <message>
        <source>Image Scale</source>
        <comment>rbEighth</comment>
        <translation>選擇縮圖比例, 比例越小速度越快</translation>
    </message>
    <message>
        <source>View Image In Full Size</source>
        <comment>miView</comment>
        <translation>觀看原圖大小</translation>
    </message>
    <message>
        <source>Duplicate pictures (by the chosen criteria)</source>
        <comment>AdvImage1</comment>
        <translation>列出重複的圖(依據篩選條件而出現)</translation>
    </message>
    <message>
        <source>Duplicate pictures (by the chosen criteria)</source>
        <comment>AdvImage2</comment>
        <translation>列出重複的圖(依據篩選條件而出現)</translation>
    </message>
    <message>
        <source>Duplicate pictures (by the chosen criteria)</source>
        <comment>AdvImage3</comment>
        <translation>列出重複的圖(依據篩選條件而出現)</translation>
    </message>
    <message>
        <source>Duplicate pictures (by the chosen criteria)</source>
        <comment>AdvImage4</comment>
        <translation>列出重複的圖(依據篩選條件而出現)</translation>
    </message>
    <message>
        <source>Duplicate pictures (by the chosen criteria)</source>
        <comment>AdvImage5</comment>
        <translation>列出重複的圖(依據篩選條件而出現)</translation>
    </message>
    <message>
        <source>Next Group [Ctrl+Down]</source>
        <comment>miNextGroup</comment>
        <translation>下一組 [Ctrl+Down]</translation>
    </message>
    <message>
        <source>Prior Group [Ctrl+Up]</source>
        <comment>miPriorGroup</comment>
        <translation>上一組 [Ctrl+Up]</translation>
    </message>
    <message>
        <source>Open</source>
        <comment>miOpen</comment>
        <translation>開啟舊檔</translation>
    </message>
    <message>
        <source>View Image In Full Size</source>
        <comment>miViewFull</comment>
        <translation>觀看原圖大小</translation>
    </message>
    <message>
        <source>Preview</source>
        <comment>miPreview</comment>
        <translation>預覽</translation>
    </message>
    <message>
        <source>Open With ACDSee</source>
        <comment>miAcdsee</comment>
        <translation>用 ACDSee 開啟</translation>
    </message>
    <message>
        <source>Open With UltraEdit</source>
        <comment>miUltraEdit</comment>
        <translation>用 UltraEdit 開啟</translation>
    </message>
    <message>
        <source>Delete</source>
        <comment>miDelete</comment>
        <translation>刪除</translation>
    </message>
    <message>
        <source>Search cancelled</source>
        <comment>status</comment>
        <translation>已取消搜尋</translation>
    </message>
    <message>
        <source>Similar pictures</source>
        <comment>ckSimilar</comment>
        <translation>相似圖片</translation>
    </message>
    <message>
        <source>Find the same picture at another size or quality</source>
        <comment>ckSimilar</comment>
        <translation>找出不同大小或品質的同一張圖片</translation>
    </message>
    <message>
        <source>Tolerance:</source>
        <comment>lblTolerance</comment>
        <translation>容許差異:</translation>
    </message>
    <message>
        <source>More picture formats</source>
        <comment>ckMoreFormats</comment>
        <translation>更多圖片格式</translation>
    </message>
    <message>
        <source>Keep in each group:</source>
        <comment>lbKeepRule</comment>
        <translation>每組保留:</translation>
    </message>
    <message>
        <source>Open With...</source>
        <comment>btnOpenWith</comment>
        <translation>開啟程式...</translation>
    </message>
    <message>
        <source>Select Duplicates [Ctrl+D]</source>
        <comment>miSelectDuplicates</comment>
        <translation>選取重複檔案 [Ctrl+D]</translation>
    </message>
    <message>
        <source>Invert Selection</source>
        <comment>miInvertSelection</comment>
        <translation>反向選取</translation>
    </message>
    <message>
        <source>First listed</source>
        <comment>cbKeepRule</comment>
        <translation>第一個</translation>
    </message>
    <message>
        <source>Newest</source>
        <comment>cbKeepRule</comment>
        <translation>最新的</translation>
    </message>
    <message>
        <source>Oldest</source>
        <comment>cbKeepRule</comment>
        <translation>最舊的</translation>
    </message>
    <message>
        <source>Largest</source>
        <comment>cbKeepRule</comment>
        <translation>最大的圖片</translation>
    </message>
    <message>
        <source>Shortest path</source>
        <comment>cbKeepRule</comment>
        <translation>最短的路徑</translation>
    </message>
    <message>
        <source>Selected: %1 files, %2</source>
        <comment>status</comment>
        <translation>已選取: %1 個檔案, %2</translation>
    </message>
    <message>
        <source>Groups: %1</source>
        <comment>status</comment>
        <translation>組數: %1</translation>
    </message>
    <message>
        <source>Protect</source>
        <comment>miProtectItem</comment>
        <translation>保護</translation>
    </message>
    <message>
        <source>Protected</source>
        <comment>cbKeepRule</comment>
        <translation>受保護的資料夾</translation>
    </message>
    <message>
        <source>Oldest photo</source>
        <comment>cbKeepRule</comment>
        <translation>最早拍攝的</translation>
    </message>
    <message>
        <source>Taken %1</source>
        <comment>capture</comment>
        <translation>拍攝於 %1</translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <comment>capture</comment>
        <translation>%1 × %2</translation>
    </message>
    <message>
        <source>Selected: 1 file, %1</source>
        <comment>status</comment>
        <translation>已選取: 1 個檔案, %1</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <comment>no copy question</comment>
        <translation>... 以及另外 %1 個</translation>
    </message>
    <message>
        <source>No identical copy of these files would remain:

%1

Delete them too?</source>
        <comment>no copy question</comment>
        <translation>刪除之後, 下列檔案不會留下任何完全相同的副本:

%1

仍要刪除它們嗎?</translation>
    </message>
    <message>
        <source>No program could be started to open &quot;%1&quot;.</source>
        <comment>open</comment>
        <translation>沒有任何程式可以開啟「%1」.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be started to open &quot;%2&quot;.</source>
        <comment>open</comment>
        <translation>無法啟動「%1」來開啟「%2」.</translation>
    </message>
    <message>
        <source>Undo Delete [Ctrl+Z]</source>
        <comment>miUndoDelete</comment>
        <translation>復原刪除 [Ctrl+Z]</translation>
    </message>
    <message>
        <source>Check the List Against the Disk [F5]</source>
        <comment>miCheckDisk</comment>
        <translation>對照磁碟檢查清單 [F5]</translation>
    </message>
    <message>
        <source>The file is gone since the search.</source>
        <comment>lvFiles</comment>
        <translation>搜尋之後, 這個檔案已經不在了.</translation>
    </message>
    <message>
        <source>The file has changed since the search.</source>
        <comment>lvFiles</comment>
        <translation>搜尋之後, 這個檔案已被更改.</translation>
    </message>
    <message>
        <source>Replace with Hard Link</source>
        <comment>miReplaceHardLink</comment>
        <translation>以硬連結取代</translation>
    </message>
    <message>
        <source>Replace with Symbolic Link</source>
        <comment>miReplaceSymbolicLink</comment>
        <translation>以符號連結取代</translation>
    </message>
    <message>
        <source>Replace with Clone</source>
        <comment>miReplaceClone</comment>
        <translation>以複製品取代 (共用磁碟區塊)</translation>
    </message>
    <message>
        <source>Move to Folder...</source>
        <comment>miMoveToFolder</comment>
        <translation>移到資料夾...</translation>
    </message>
    <message>
        <source>Absolute Symbolic Links</source>
        <comment>miAbsoluteLinks</comment>
        <translation>符號連結使用絕對路徑</translation>
    </message>
    <message>
        <source>Remove from List</source>
        <comment>miRemoveFromList</comment>
        <translation>從清單移除</translation>
    </message>
    <message>
        <source>Remove Group</source>
        <comment>miRemoveGroup</comment>
        <translation>移除整個群組</translation>
    </message>
    <message>
        <source>Open Containing Folder</source>
        <comment>miOpenFolder</comment>
        <translation>開啟所在的資料夾</translation>
    </message>
    <message>
        <source>Export...</source>
        <comment>miExport</comment>
        <translation>匯出...</translation>
    </message>
    <message>
        <source>Save Results...</source>
        <comment>miSaveResults</comment>
        <translation>儲存結果...</translation>
    </message>
    <message>
        <source>Open Results...</source>
        <comment>miOpenResults</comment>
        <translation>開啟結果...</translation>
    </message>
    <message>
        <source>Not Duplicates</source>
        <comment>miNotDuplicates</comment>
        <translation>不是重複檔案</translation>
    </message>
    <message>
        <source>Forget Not Duplicates...</source>
        <comment>miForgetNotDuplicates</comment>
        <translation>取消「不是重複檔案」標記...</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is too large to be a results file.</source>
        <comment>miOpenResults</comment>
        <translation>「%1」太大，不是結果檔。</translation>
    </message>
    <message>
        <source>The results file &quot;%1&quot; could not be read.</source>
        <comment>miOpenResults</comment>
        <translation>無法讀取結果檔「%1」。</translation>
    </message>
    <message>
        <source>The results file &quot;%1&quot; is incomplete: it ends too early.</source>
        <comment>miOpenResults</comment>
        <translation>結果檔「%1」不完整：檔案提早結束。</translation>
    </message>
    <message>
        <source>The results file &quot;%1&quot; is damaged.</source>
        <comment>miOpenResults</comment>
        <translation>結果檔「%1」已損壞。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a results file of Quorvane.</source>
        <comment>miOpenResults</comment>
        <translation>「%1」不是 Quorvane 的結果檔。</translation>
    </message>
    <message>
        <source>The results file &quot;%1&quot; was written by a newer version of Quorvane; a newer version of the program is needed to open it.</source>
        <comment>miOpenResults</comment>
        <translation>結果檔「%1」由較新版本的 Quorvane 寫成，需要較新版本的程式才能開啟。</translation>
    </message>
    <message>
        <source>The results file &quot;%1&quot; could not be opened.</source>
        <comment>miOpenResults</comment>
        <translation>無法開啟結果檔「%1」。</translation>
    </message>
    <message>
        <source>Open Results</source>
        <comment>miOpenResults</comment>
        <translation>開啟結果</translation>
    </message>
    <message>
        <source>Quorvane results (*.json)|*.json</source>
        <comment>miSaveResults</comment>
        <translation>Quorvane 結果 (*.json)|*.json</translation>
    </message>
    <message>
        <source>Save the Results</source>
        <comment>miSaveResults</comment>
        <translation>儲存結果</translation>
    </message>
    <message>
        <source>The results could not be saved to &quot;%1&quot;.</source>
        <comment>miSaveResults</comment>
        <translation>無法將結果儲存到「%1」。</translation>
    </message>
    <message>
        <source>Results saved: %1 rows</source>
        <comment>miSaveResults</comment>
        <translation>已儲存結果：%1 筆</translation>
    </message>
    <message>
        <source>There is no folder for the files marked as not duplicates (HOME is not set).</source>
        <comment>miNotDuplicates</comment>
        <translation>沒有存放「不是重複檔案」標記的資料夾（未設定 HOME）。</translation>
    </message>
    <message>
        <source>The files marked as not duplicates could not be read from &quot;%1&quot;; the marks start again.</source>
        <comment>miNotDuplicates</comment>
        <translation>無法從「%1」讀取「不是重複檔案」的標記，標記將重新開始。</translation>
    </message>
    <message>
        <source>These files are marked as not duplicates already.</source>
        <comment>miNotDuplicates</comment>
        <translation>這些檔案已經標記為不是重複檔案。</translation>
    </message>
    <message>
        <source>The files marked as not duplicates could not be saved to &quot;%1&quot;.</source>
        <comment>miNotDuplicates</comment>
        <translation>無法將「不是重複檔案」的標記儲存到「%1」。</translation>
    </message>
    <message>
        <source>No files are marked as not duplicates.</source>
        <comment>miForgetNotDuplicates</comment>
        <translation>沒有標記為不是重複檔案的檔案。</translation>
    </message>
    <message>
        <source>Files Marked as Not Duplicates</source>
        <comment>miForgetNotDuplicates</comment>
        <translation>標記為不是重複檔案的檔案</translation>
    </message>
    <message>
        <source>Forget Selected</source>
        <comment>miForgetNotDuplicates</comment>
        <translation>取消選取的標記</translation>
    </message>
    <message>
        <source>Forget All</source>
        <comment>miForgetNotDuplicates</comment>
        <translation>全部取消</translation>
    </message>
    <message>
        <source>Close</source>
        <comment>miForgetNotDuplicates</comment>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Group</source>
        <comment>lvFiles</comment>
        <translation>組別</translation>
    </message>
    <message>
        <source>Copies</source>
        <comment>lvFiles</comment>
        <translation>份數</translation>
    </message>
    <message>
        <source>Dimensions</source>
        <comment>lvFiles</comment>
        <translation>尺寸</translation>
    </message>
    <message>
        <source>Export the List</source>
        <comment>miExport</comment>
        <translation>匯出清單</translation>
    </message>
    <message>
        <source>CSV files (*.csv)|*.csv</source>
        <comment>miExport</comment>
        <translation>CSV 檔案 (*.csv)|*.csv</translation>
    </message>
    <message>
        <source>The list could not be written to &quot;%1&quot;: %2</source>
        <comment>miExport</comment>
        <translation>無法將清單寫入「%1」: %2</translation>
    </message>
    <message>
        <source>1 row exported</source>
        <comment>miExport</comment>
        <translation>已匯出 1 列</translation>
    </message>
    <message>
        <source>%1 rows exported</source>
        <comment>miExport</comment>
        <translation>已匯出 %1 列</translation>
    </message>
    <message>
        <source>the file changed since the search</source>
        <translation>搜尋之後檔案已經變更</translation>
    </message>
    <message>
        <source>the kept file is gone or changed</source>
        <translation>保留的檔案已經不見或已經變更</translation>
    </message>
    <message>
        <source>the kept file does not have the same bytes</source>
        <translation>保留的檔案內容已經不相同</translation>
    </message>
    <message>
        <source>the kept file is on another file system</source>
        <translation>保留的檔案位於另一個檔案系統</translation>
    </message>
    <message>
        <source>this file system cannot make clones</source>
        <translation>這個檔案系統無法製作共用區塊的複製品</translation>
    </message>
    <message>
        <source>a file of that name is already in the folder</source>
        <translation>資料夾裡已經有同名的檔案</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>Hard link of %1</source>
        <translation>%1 的硬連結</translation>
    </message>
    <message>
        <source>Symbolic link to %1</source>
        <translation>指向 %1 的符號連結</translation>
    </message>
    <message>
        <source>Clone of %1</source>
        <translation>%1 的複製品</translation>
    </message>
    <message>
        <source>Only files of a duplicate group in which another file stays can be replaced or moved.</source>
        <translation>只有重複群組中另有檔案保留的檔案才能被取代或移動.</translation>
    </message>
    <message>
        <source>Move to Folder</source>
        <translation>移到資料夾</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 cannot go back to %2: %3</source>
        <translation>%1 無法移回 %2: %3</translation>
    </message>
    <message>
        <source>a file of that name is there</source>
        <translation>那裡已經有同名的檔案</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is in a protected folder. Replace or move it anyway?</source>
        <translation>「%1」位於受保護的資料夾中, 仍然要取代或移動嗎?</translation>
    </message>
</context>
<context>
    <name>frmViewer</name>
    <message>
        <source>Next Image     [PageDown]</source>
        <comment>miNextImage</comment>
        <translation>下一張     [PageDown]</translation>
    </message>
    <message>
        <source>Prior Image     [PageUp]</source>
        <comment>miPriorImage</comment>
        <translation>上一張     [PageUp]</translation>
    </message>
    <message>
        <source>First Image      [Home]</source>
        <comment>miFirstImage</comment>
        <translation>第一張     [Home]</translation>
    </message>
    <message>
        <source>Last Image      [End]</source>
        <comment>miLastImage</comment>
        <translation>末一張     [End]</translation>
    </message>
    <message>
        <source>Delete             [Del]</source>
        <comment>miDelete</comment>
        <translation>刪除         [Del]</translation>
    </message>
    <message>
        <source>Fit to Screen     [F]</source>
        <comment>miFitToScreen</comment>
        <translation>符合螢幕大小     [F]</translation>
    </message>
    <message>
        <source>Close</source>
        <comment>miClose</comment>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Replace with Hard Link</source>
        <comment>miReplaceHardLink</comment>
        <translation>以硬連結取代</translation>
    </message>
    <message>
        <source>Replace with Symbolic Link</source>
        <comment>miReplaceSymbolicLink</comment>
        <translation>以符號連結取代</translation>
    </message>
    <message>
        <source>Replace with Clone</source>
        <comment>miReplaceClone</comment>
        <translation>以複製品取代 (共用磁碟區塊)</translation>
    </message>
    <message>
        <source>Move to Folder...</source>
        <comment>miMoveToFolder</comment>
        <translation>移到資料夾...</translation>
    </message>
</context>
<context>
    <name>frmProgress</name>
    <message>
        <source>Cancel</source>
        <comment>btnCancel</comment>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>OpenDialog</name>
    <message>
        <source>Any file name</source>
        <translation>任何檔名</translation>
    </message>
    <message>
        <source>No need to change.|.___</source>
        <translation>不必變更.|.___</translation>
    </message>
    <message>
        <source>You can input any file name</source>
        <translation>隨便打個檔名即可指定此目錄</translation>
    </message>
</context>
<context>
    <name>dlgOpenWith</name>
    <message>
        <source>Open With programs</source>
        <comment>dialog title</comment>
        <translation>開啟程式</translation>
    </message>
    <message>
        <source>Picture viewer:</source>
        <comment>edViewerProgram</comment>
        <translation>看圖程式:</translation>
    </message>
    <message>
        <source>Text editor:</source>
        <comment>edEditorProgram</comment>
        <translation>文字編輯器:</translation>
    </message>
    <message>
        <source>Browse...</source>
        <comment>button</comment>
        <translation>瀏覽...</translation>
    </message>
    <message>
        <source>(none found)</source>
        <comment>placeholder</comment>
        <translation>(找不到)</translation>
    </message>
</context>
<context>
    <name>TNotReadReport</name>
    <message numerus="yes">
        <source>%n files could not be read</source>
        <translation>
            <numerusform>%n 個檔案無法讀取</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n folders could not be read</source>
        <translation>
            <numerusform>%n 個資料夾無法讀取</numerusform>
        </translation>
    </message>
    <message>
        <source>cannot be opened</source>
        <translation>無法開啟</translation>
    </message>
    <message>
        <source>a read failed</source>
        <translation>讀取失敗</translation>
    </message>
    <message>
        <source>changed during the search</source>
        <translation>搜尋期間已變更</translation>
    </message>
    <message>
        <source>folder cannot be opened</source>
        <translation>資料夾無法開啟</translation>
    </message>
    <message>
        <source>folder could not be listed to the end</source>
        <translation>資料夾無法完整列出</translation>
    </message>
    <message>
        <source>These files and folders could not be read:</source>
        <translation>下列檔案及資料夾無法讀取:</translation>
    </message>
    <message numerus="yes">
        <source>and %n more</source>
        <translation>
            <numerusform>另有 %n 項</numerusform>
        </translation>
    </message>
    <message>
        <source>Files Not Read...</source>
        <translation>無法讀取的檔案...</translation>
    </message>
</context>
<context>
    <name>TFileListModel</name>
    <message>
        <source>One name of a file that has other names next to it in this group</source>
        <translation>此檔案在本組中另有其他名稱 (硬連結), 列在旁邊</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>PNG, WebP, TIFF, HEIC, AVIF, JPEG XL and camera RAW</source>
        <comment>ckMoreFormats</comment>
        <translation>PNG、WebP、TIFF、HEIC、AVIF、JPEG XL 與相機 RAW</translation>
    </message>
    <message>
        <source>Photos</source>
        <comment>tbsPhotos</comment>
        <translation>相片</translation>
    </message>
    <message>
        <source>Turn photos upright</source>
        <comment>ckTurnUpright</comment>
        <translation>將相片轉正</translation>
    </message>
    <message>
        <source>Draw and compare photographs as their orientation tag says</source>
        <comment>ckTurnUpright</comment>
        <translation>依相片的方向標記顯示與比對</translation>
    </message>
    <message>
        <source>Also turned or mirrored copies</source>
        <comment>ckTurns</comment>
        <translation>也找旋轉或鏡像的副本</translation>
    </message>
    <message>
        <source>Similar pictures: a copy turned by a quarter or half turn, or mirrored, also matches</source>
        <comment>ckTurns</comment>
        <translation>相似圖片:旋轉四分之一圈、半圈或鏡像的副本也算相符</translation>
    </message>
    <message>
        <source>Also cropped copies</source>
        <comment>ckCrops</comment>
        <translation>也找裁切過的副本</translation>
    </message>
    <message>
        <source>Similar pictures: a copy cut down to the middle of the picture also matches</source>
        <comment>ckCrops</comment>
        <translation>相似圖片:只保留畫面中央部分的副本也算相符</translation>
    </message>
    <message>
        <source>Same pixels</source>
        <comment>ckSamePixels</comment>
        <translation>像素完全相同</translation>
    </message>
    <message>
        <source>Similar pictures: only pictures whose decoded pixels are exactly equal</source>
        <comment>ckSamePixels</comment>
        <translation>相似圖片:只找解碼後像素完全相同的圖片</translation>
    </message>
    <message>
        <source>Colour slides</source>
        <comment>ckColourSlides</comment>
        <translation>彩色縮圖</translation>
    </message>
    <message>
        <source>Memory for pictures (MiB):</source>
        <comment>lbPictureCache</comment>
        <translation>圖片暫存記憶體 (MiB):</translation>
    </message>
    <message>
        <source>Decoded pictures kept for the preview, the slides and the viewer</source>
        <comment>edPictureCache</comment>
        <translation>預覽、縮圖與全螢幕檢視保留的已解碼圖片</translation>
    </message>
    <message>
        <source>Filters</source>
        <comment>tbsFilters</comment>
        <translation>篩選</translation>
    </message>
    <message>
        <source>Smallest file:</source>
        <comment>lbMinSize</comment>
        <translation>最小檔案:</translation>
    </message>
    <message>
        <source>In bytes, or with K, M or G (1K = 1024 bytes); empty: no limit</source>
        <comment>edMinSize</comment>
        <translation>以位元組為單位, 或加上 K、M、G (1K = 1024 位元組); 空白: 不限</translation>
    </message>
    <message>
        <source>Largest file:</source>
        <comment>lbMaxSize</comment>
        <translation>最大檔案:</translation>
    </message>
    <message>
        <source>In bytes, or with K, M or G (1K = 1024 bytes); empty: no limit</source>
        <comment>edMaxSize</comment>
        <translation>以位元組為單位, 或加上 K、M、G (1K = 1024 位元組); 空白: 不限</translation>
    </message>
    <message>
        <source>Leave out names:</source>
        <comment>lbExcludeNames</comment>
        <translation>略過的檔名:</translation>
    </message>
    <message>
        <source>Patterns separated by ; such as *.tmp; Thumbs.db; .DS_Store</source>
        <comment>edExcludeNames</comment>
        <translation>以 ; 分隔的樣式, 例如 *.tmp; Thumbs.db; .DS_Store</translation>
    </message>
    <message>
        <source>Only extensions:</source>
        <comment>lbExtensions</comment>
        <translation>只找副檔名:</translation>
    </message>
    <message>
        <source>Such as jpg, png, heic; empty: every file</source>
        <comment>edExtensions</comment>
        <translation>例如 jpg, png, heic; 空白: 所有檔案</translation>
    </message>
    <message>
        <source>Never enter folders:</source>
        <comment>lbExcludeFolders</comment>
        <translation>不進入的資料夾:</translation>
    </message>
    <message>
        <source>Folders separated by ; a link to one of them is left out too</source>
        <comment>edExcludeFolders</comment>
        <translation>以 ; 分隔的資料夾; 連到其中之一的連結也會略過</translation>
    </message>
</context>
</TS>
