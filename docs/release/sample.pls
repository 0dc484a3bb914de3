[playlist]
File1=C:\Users\Public\Music\ソナタ.mp3
Title1=ソナタ
Length1=240
File2=..\Music\01 朝の歌.mp3
File3=file:///D:/Music/%E8%A1%A8%E5%8F%82%E9%81%93.wma
NumberOfEntries=3
Version=2
