Electrodes on the floor of 2 m of water (20 ohm-m) over 100 ohm-m; Wenner array
25
8
1
Number of water layers
1
Water layer: resistivity, x of its start and end, thickness
20.0 0.0 48.0 2.0
2.0
2
0 1
1
4
100
12
0.5 1 1.5 2 2.5 3 3.7 4.5 5.5 6.8 8.4 10.4
0
0
0
0
0
0
0
0
0
0
0
0
1
