; The bootstrapper a distributor would otherwise build, reduced to its window:
; one page, no work. bench/run_all.sh times how long it takes to show.
; makensis -DOUT=<exe> [-X"Target amd64-unicode"] window.nsi
Unicode true
Name "QuillNsisWindow"
Caption "QuillNsisWindow"
OutFile "${OUT}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The page's subcaption is added to the title; keep the title one text.
SubCaption 3 " shown"
SubCaption 4 " shown"
Page instfiles
Section
SectionEnd
