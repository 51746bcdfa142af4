#pragma once
// Coefficient sets of the embedded Rosenbrock methods. A method is data: the
// step loop serves all five sets alike.
//
// For an s-stage method the stage equations are
//   (1/(h*gamma_1) I - J) k_i = f(y + sum_j a_ij k_j) + sum_j (c_ij / h) k_j
//                               + h * gamma_i * df/dt,
// the new state is y + sum_j m_j k_j and the embedded error estimate is
// sum_j e_j k_j. The strictly lower triangles a and c are stored row by row:
// the coefficient of stage j in stage i (0-based, j < i) is at i*(i-1)/2 + j.
#include <array>
#include <string_view>

namespace box {

inline constexpr int max_stages = 6;

struct RosenbrockMethod {
  int ros_s = 0;                                 // number of stages
  std::array<double, 15> ros_a{};                // stage-input coefficients
  std::array<double, 15> ros_c{};                // stage-coupling coefficients
  std::array<double, max_stages> ros_m{};        // weights of the new state
  std::array<double, max_stages> ros_e{};        // weights of the error estimate
  std::array<double, max_stages> ros_alpha{};    // stage times as fractions of h
  std::array<double, max_stages> ros_gamma{};    // gamma_i; gamma_1 sets the matrix
  double ros_elo = 0.0;                          // order in the step-size exponent
  std::array<bool, max_stages> ros_newf{};       // stage evaluates f afresh
  std::string_view ros_name;                     // 12 characters, blank-padded
};

// Position of the coefficient of stage j in the input of stage i (0-based).
constexpr int lower_triangle(int i, int j) { return i * (i - 1) / 2 + j; }

namespace detail {

// Two stages, order 2 (L-stable). Everything follows from g = 1 + 1/sqrt(2),
// rounded once; 2g is formed as g + g.
constexpr RosenbrockMethod make_ros2() {
  constexpr double g = 1.7071067811865475;
  RosenbrockMethod m{};
  m.ros_s = 2;
  m.ros_elo = 2.0;
  m.ros_name = "ROS-2       ";
  m.ros_a[0] = 1.0 / g;
  m.ros_c[0] = -2.0 / g;
  m.ros_newf = {true, true};
  m.ros_m[0] = 3.0 / (g + g);
  m.ros_m[1] = 1.0 / (g + g);
  m.ros_e[0] = 1.0 / (g + g);
  m.ros_e[1] = 1.0 / (g + g);
  m.ros_alpha[0] = 0.0;
  m.ros_alpha[1] = 1.0;
  m.ros_gamma[0] = g;
  m.ros_gamma[1] = 0.0 - g;
  return m;
}

// Four stages, order 4 (L-stable); the last stage reuses the third
// right-hand side, whose input it shares.
constexpr RosenbrockMethod make_ros4() {
  RosenbrockMethod m{};
  m.ros_s = 4;
  m.ros_elo = 4.0;
  m.ros_name = "ROS-4       ";
  m.ros_a = {2.0, 1.867943637803922, 0.2344449711399156};
  m.ros_a[3] = m.ros_a[1];
  m.ros_a[4] = m.ros_a[2];
  m.ros_a[5] = 0.0;
  m.ros_c = {-7.13761503641231,   2.580708087951457,   0.6515950076447975,
             -2.137148994382534,  -0.3214669691237626, -0.6949742501781779};
  m.ros_newf = {true, true, true, false};
  m.ros_m = {2.255570073418735, 0.2870493262186792, 0.435317943184018,
             1.093502252409163};
  m.ros_e = {-0.2815431932141155, -0.0727619912493892, -0.1082196201495311,
             -1.093502252409163};
  m.ros_alpha = {0.0, 1.14564, 0.65521686381559};
  m.ros_alpha[3] = m.ros_alpha[2];
  m.ros_gamma = {0.57282, -1.769193891319233, 0.7592633437920482,
                 -0.104902108710045};
  return m;
}

// Six stages, order 4, stiffly accurate: the inputs of the last two stages
// carry the weights of the new state, and the error is the last stage alone.
constexpr RosenbrockMethod make_rodas4() {
  RosenbrockMethod m{};
  m.ros_s = 6;
  m.ros_elo = 4.0;
  m.ros_name = "RODAS-4     ";
  m.ros_alpha = {0.0, 0.386, 0.21, 0.63, 1.0, 1.0};
  m.ros_gamma = {0.25, -0.1043, 0.1035, -0.03620000000000023, 0.0, 0.0};
  m.ros_a = {1.544,             0.9466785280815826, 0.2557011698983284,
             3.314825187068521, 2.896124015972201,  0.9986419139977817,
             1.221224509226641, 6.019134481288629,  12.53708332932087,
             -0.687886036105895};
  for (int k = 10; k < 14; ++k) m.ros_a[k] = m.ros_a[k - 4];
  m.ros_a[14] = 1.0;
  m.ros_c = {-5.6688,            -2.430093356833875, -0.2063599157091915,
             -0.1073529058151375, -9.594562251023355, -20.47028614809616,
             7.496443313967647,  -10.24680431464352, -33.99990352819905,
             11.7089089320616,   8.083246795921522,  -7.981132988064893,
             -31.52159432874371, 16.31930543123136,  -6.058818238834054};
  for (int k = 0; k < 4; ++k) m.ros_m[k] = m.ros_a[6 + k];
  m.ros_m[4] = 1.0;
  m.ros_m[5] = 1.0;
  m.ros_e = {0.0, 0.0, 0.0, 0.0, 0.0, 1.0};
  m.ros_newf = {true, true, true, true, true, true};
  return m;
}

}  // namespace detail

// ROS-2: two stages, order 2.
inline constexpr RosenbrockMethod ros2_coefficients = detail::make_ros2();

// ROS-3: three stages, order 3 (L-stable); the third stage reuses the second
// right-hand side.
inline constexpr RosenbrockMethod ros3_coefficients = {
    .ros_s = 3,
    .ros_a = {1.0, 1.0, 0.0},
    .ros_c = {-1.0156171083877703, 4.07599564525377, 9.20767942983308},
    .ros_m = {1.0, 6.1697947043828245, -0.42772256543218573},
    .ros_e = {0.5, -2.907955871680547, 0.2235406989781157},
    .ros_alpha = {0.0, 0.435866521508459, 0.435866521508459},
    .ros_gamma = {0.435866521508459, 0.24291996454816805, 2.185138002766406},
    .ros_elo = 3.0,
    .ros_newf = {true, true, false},
    .ros_name = "ROS-3       ",
};

// ROS-4: four stages, order 4.
inline constexpr RosenbrockMethod ros4_coefficients = detail::make_ros4();

// RODAS-3: four stages, order 3, stiffly accurate; stage 2 reuses the
// right-hand side of stage 1.
inline constexpr RosenbrockMethod rodas3_coefficients = {
    .ros_s = 4,
    .ros_a = {0.0, 2.0, 0.0, 2.0, 0.0, 1.0},
    .ros_c = {4.0, 1.0, -1.0, 1.0, -1.0, -8.0 / 3.0},
    .ros_m = {2.0, 0.0, 1.0, 1.0},
    .ros_e = {0.0, 0.0, 0.0, 1.0},
    .ros_alpha = {0.0, 0.0, 1.0, 1.0},
    .ros_gamma = {0.5, 1.5, 0.0, 0.0},
    .ros_elo = 3.0,
    .ros_newf = {true, false, true, true},
    .ros_name = "RODAS-3     ",
};

// RODAS-4: six stages, order 4.
inline constexpr RosenbrockMethod rodas4_coefficients = detail::make_rodas4();

// The set selected by method number 1..5 (ROS-2, ROS-3, ROS-4, RODAS-3,
// RODAS-4); nullptr for any other number.
constexpr const RosenbrockMethod* rosenbrock_method(int number) {
  switch (number) {
    case 1: return &ros2_coefficients;
    case 2: return &ros3_coefficients;
    case 3: return &ros4_coefficients;
    case 4: return &rodas3_coefficients;
    case 5: return &rodas4_coefficients;
    default: return nullptr;
  }
}

}  // namespace box
