Two layers: 100 ohm-m, 4 m thick, over 20 ohm-m; Wenner array
25
8
0
2.0
2
0 1
2
4
100 20
13
0.5 1 1.5 2 2.5 3 4 5 6.2 7.6 9.4 11.6 14.4
0
0
0
0
0
0
0
1
1
1
1
1
1
1
