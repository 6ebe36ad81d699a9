// Analytic references of the road table: the potential of a point source on the surface of a
// half-space and of a two-layer earth (image series and Hankel integral), in real or complex
// resistivity, the apparent resistivity of any four electrodes on the surface in full 3-D
// distances, Seigel's apparent chargeability and the Cole-Cole resistivity. Written apart from
// the program: nothing here calls it.
#pragma once

#include <complex>
#include <optional>

namespace reference {

using Complex = std::complex<double>;

/// A point of the ground surface in metres: x along the survey line, y across it.
struct Point {
    double x = 0.0, y = 0.0;
};

/// A top layer of resistivity rho1, h metres thick, over a half-space of rho2; h 0 is a
/// half-space of rho1. A complex resistivity is that of one frequency (or rho (1 + i m)).
struct Earth {
    Complex rho1, rho2;
    double h = 0.0;
};

/// Potential at horizontal distance r > 0 (metres) on the surface from a unit current entering
/// the surface, by the image series rho1 / (2 pi) (1/r + 2 sum_n k^n / sqrt(r^2 + (2 n h)^2)),
/// k = (rho2 - rho1) / (rho2 + rho1), n from 1 until |k|^n falls below 1e-17.
Complex potential(const Earth& earth, double r);

/// The same by the Hankel integral rho1 / (2 pi) (1/r + 2 int_0^inf k e^(-2 l h) /
/// (1 - k e^(-2 l h)) J0(l r) dl), by 16-point Gauss-Legendre panels a quarter period of J0 wide
/// out to where the kernel falls below 1e-18.
Complex potential_hankel(const Earth& earth, double r);

/// Potential of a unit current at a point of the surface of a half-space, at another point:
/// rho / (2 pi R), R the 3-D distance.
Complex half_space_potential(Complex rho, Point source, Point at);

/// The electrodes of one measurement; a pole array's remote electrode that the datum leaves out
/// (at infinity) is absent.
struct Electrodes {
    std::optional<Point> c1, c2, p1, p2;
};

/// V(P1) - V(P2) for +1 A at C1 and -1 A at C2 (the electrodes present), by `potential`.
Complex potential_difference(const Earth& earth, const Electrodes& e);

/// 2 pi / (1/C1P1 - 1/C1P2 - 1/C2P1 + 1/C2P2) over the pairs present, 3-D distances in metres:
/// the half-space's potential difference times it is the resistivity.
double geometric_factor(const Electrodes& e);

/// K dV: the apparent resistivity of the measurement over `earth`.
Complex apparent_resistivity(const Earth& earth, const Electrodes& e);

/// Apparent chargeability (mV/V) by Seigel's definition, each layer's resistivity rho raised
/// to rho / (1 - m): 1000 (1 - rho_a(rho) / rho_a(rho / (1 - m))).
double seigel_chargeability(double rho1, double rho2, double m1, double m2, double h,
                            const Electrodes& e);

/// Its first order: 1000 sum_i m_i d ln rho_a / d ln rho_i (the derivatives by central
/// differences of the image series).
double seigel_linear(double rho1, double rho2, double m1, double m2, double h, const Electrodes& e);

/// Cole-Cole resistivity at frequency f (Hz): rho0 (1 - m (1 - 1 / (1 + (i 2 pi f tau)^c))).
Complex cole_cole(double rho0, double m, double tau, double c, double f);

} // namespace reference
